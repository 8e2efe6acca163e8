// webtemper: a random graph laid out by force-directed placement under
// simulated annealing, edited from the keyboard. Start reading here: main()
// reads the command line, opens the window, then feeds key presses to
// handle_key and draws with idle_frame (commands.h), which runs the model,
// annealing, fading and drawing modules.
#include "commands.h"
#include "graph.h"
#include "render.h"
#include "repel_kernels.h"
#include "repel_timing.h"
#include "startup_check.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>

static_assert(int(SDLK_a) == KEY_A && int(SDLK_d) == KEY_D && int(SDLK_p) == KEY_P &&
                  int(SDLK_q) == KEY_Q && int(SDLK_r) == KEY_R && int(SDLK_x) == KEY_X &&
                  int(SDLK_SPACE) == KEY_SPACE,
              "key symbols");
static_assert((KMOD_LSHIFT | KMOD_RSHIFT) == SHIFT_MASK, "shift bits");
static_assert(SDL_OPENGL == 0x00000002 && SDL_FULLSCREEN == 0x80000000,
              "the flags as the video mode's start-up check names them");

// The window's size with --window, and the full screen's where SDL cannot
// tell the desktop's.
constexpr int WIDTH = 1024;             // pixels
constexpr int HEIGHT = 768;             // pixels
constexpr int REPEAT_DELAY = 500;       // ms before a held key repeats
constexpr int REPEAT_INTERVAL = 15;     // ms between repeats
constexpr Uint32 FRAME_DELAY = 5;       // ms pause after every frame

static void print_docs()
{
    fputs("Webtemper simulator\n"
          "-------------------------\n"
          "  q - quit, a - add vertex, d - pop vertex, D - delete random vertex\n"
          "  r - perturb positions, R - randomize positions, p = heat, P = cool\n"
          "  x - add random edge, X - delete random edge\n"
          "  <space> - pause/unpause annealing\n",
          stdout);
    fflush(stdout);
}

// Full screen opens at the desktop's own size: no video mode is switched,
// so none is left behind even if the program is killed, no display server
// stretches the picture, and a screen smaller than the picture still
// starts. setup_view keeps the picture's shape inside.
static void pick_size(int *width, int *height)
{
    const SDL_VideoInfo *desktop = SDL_GetVideoInfo();
    if (desktop->current_w > 0 && desktop->current_h > 0) {
        *width = desktop->current_w;
        *height = desktop->current_h;
    }
}

int main(int argc, char *argv[])
{
    command_line line = read_command_line(argc, argv);
    if (line.request != START_FULL_SCREEN && line.request != START_IN_WINDOW)
        return answer_command_line(&line, stdout, stderr);
    const bool in_window = line.request == START_IN_WINDOW;
    // Without a display SDL 1.2 falls back to painting the text terminal,
    // and the SDL 2 compatibility layer to an invisible off-screen driver;
    // neither can show an OpenGL window. The null text back end keeps the
    // terminal untouched, and X11 is the default wherever no Wayland
    // display is named, so that the start fails cleanly instead. A driver
    // the user names still wins.
    setenv("CACA_DRIVER", "null", 0);
    if (getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("SDL_VIDEODRIVER", "x11", 0);
    STARTUP_CHECK(SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) == 0,
                  "SDL_Init(0x00000020 | 0x00000001) == 0");
    STARTUP_CHECK(SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0,
                  "SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0");
    int width = WIDTH;
    int height = HEIGHT;
    if (!in_window)
        pick_size(&width, &height);
    // The condition as the call reads with its values: at 1024x768 full
    // screen the same text as ever.
    char mode_condition[96];
    snprintf(mode_condition, sizeof mode_condition,
             "SDL_SetVideoMode(%d, %d, 0, %s) != ((void *)0)", width, height,
             in_window ? "0x00000002" : "0x00000002 | 0x80000000");
    SDL_Surface *screen =
        SDL_SetVideoMode(width, height, 0, in_window ? SDL_OPENGL : SDL_OPENGL | SDL_FULLSCREEN);
    STARTUP_CHECK(screen != nullptr, mode_condition);
    SDL_WM_SetCaption("Webtemper Demo", "Webtemper Demo");
    // In a window the cursor stays, for the work beside it.
    if (!in_window)
        SDL_ShowCursor(SDL_DISABLE);
    SDL_EnableKeyRepeat(REPEAT_DELAY, REPEAT_INTERVAL);
    srand48(time(nullptr));
    // Every pair kernel gives the same layout; take the fastest here.
    use_repel_kernel(fastest_repel_kernel());
    setup_circle_list();
    print_docs();
    // The screen's 4:3 shape; the graph is still empty.
    bbox.xmin = -4.0f / 3.0f;
    bbox.xmax = 4.0f / 3.0f;
    setup_view(screen->w, screen->h);
    loop_state state = start_loop(SDL_GetTicks());
    SDL_Event event;
    for (;;) {
        if (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT)
                break;
            if (event.type == SDL_KEYDOWN &&
                handle_key(&state, event.key.keysym.sym, event.key.keysym.mod))
                break;
        } else {
            idle_frame(&state, SDL_GetTicks());
            SDL_GL_SwapBuffers();
            SDL_Delay(FRAME_DELAY);
        }
    }
    SDL_Quit();
    return 0;
}
