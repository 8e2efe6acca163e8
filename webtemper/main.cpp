// webtemper: a random graph laid out by force-directed placement under
// simulated annealing, edited from the keyboard. Start reading here: main()
// opens the window, then feeds key presses to handle_key and draws with
// idle_frame (commands.h), which runs the model, annealing, fading and
// drawing modules.
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

int main()
{
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
    STARTUP_CHECK(SDL_SetVideoMode(WIDTH, HEIGHT, 0, SDL_OPENGL | SDL_FULLSCREEN) != nullptr,
                  "SDL_SetVideoMode(1024, 768, 0, 0x00000002 | 0x80000000) != ((void *)0)");
    SDL_WM_SetCaption("Webtemper Demo", "Webtemper Demo");
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
    setup_view(WIDTH, HEIGHT);
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
