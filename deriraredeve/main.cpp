// deriraredeve: a five-fold quasiperiodic tiling of thick and thin rhombi,
// recomputed every frame by cut and project from the five-dimensional
// lattice. Start reading here: main() reads the command line (options.h),
// opens the window, do_init (tiling.h) builds the state, do_draw (walk.h)
// draws one frame.
#include "options.h"
#include "tiling.h"
#include "walk.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>

// Pause after every frame.
constexpr Uint32 FRAME_DELAY = 5;  // ms

static qc_state qc;

// Start-up failed: one line on standard error and status 1, before any GL call.
static void fail_start(const char *what)
{
    fprintf(stderr, "deriraredeve: %s: %s\n", what, SDL_GetError());
    SDL_Quit();
    exit(1);
}

// Full screen opens at the desktop's own size: no video mode is switched,
// so none is left behind even if the program is killed, no display server
// stretches the picture, and a screen smaller than the picture still
// starts. do_reshape keeps the picture's shape inside.
static void pick_size(int *width, int *height)
{
    const SDL_VideoInfo *desktop = SDL_GetVideoInfo();
    // A driver that cannot tell gets the picture's own size.
    if (desktop->current_w > 0 && desktop->current_h > 0) {
        *width = desktop->current_w;
        *height = desktop->current_h;
    }
}

// Returns the screen SDL gave.
static SDL_Surface *open_window(bool in_window)
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
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0)
        fail_start("cannot initialise SDL");
    if (SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) != 0)
        fail_start("cannot ask for a double-buffered OpenGL context");
    int width = WIDTH;
    int height = HEIGHT;
    Uint32 flags = SDL_OPENGL;
    if (!in_window) {
        pick_size(&width, &height);
        flags |= SDL_FULLSCREEN;
    }
    SDL_Surface *screen = SDL_SetVideoMode(width, height, 0, flags);
    if (screen == nullptr) {
        char what[64];
        snprintf(what, sizeof what, "cannot open the %dx%d OpenGL window", width, height);
        fail_start(what);
    }
    // In a window the cursor stays, for the work beside it.
    if (!in_window)
        SDL_ShowCursor(SDL_DISABLE);
    return screen;
}

static void do_event(qc_state *state, const SDL_Event *event)
{
    if (event->type != SDL_KEYDOWN)
        return;
    switch (event->key.keysym.sym) {
    case SDLK_1:
        state->draw_mode = DRAW_SOLID;
        break;
    case SDLK_2:
        state->draw_mode = DRAW_ELLIPSE;
        break;
    case SDLK_3:
        state->draw_mode = DRAW_DUAL_PCOLOR;
        break;
    case SDLK_4:
        state->draw_mode = DRAW_DUAL_VCOLOR;
        break;
    case SDLK_c:
        state->color_by_type = !state->color_by_type;
        break;
    default:
        break;
    }
}

static int is_quit(const SDL_Event *event)
{
    return event->type == SDL_QUIT ||
           (event->type == SDL_KEYDOWN && event->key.keysym.sym == SDLK_q);
}

int main(int argc, char *argv[])
{
    command_line line = read_command_line(argc, argv);
    if (line.request != START_FULL_SCREEN && line.request != START_IN_WINDOW)
        return answer_command_line(&line, stdout, stderr);
    SDL_Surface *screen = open_window(line.request == START_IN_WINDOW);
    do_init(&qc, screen->w, screen->h);
    SDL_Event event;
    for (;;) {
        if (SDL_PollEvent(&event)) {
            if (is_quit(&event))
                break;
            do_event(&qc, &event);
        } else {
            do_draw(&qc);
            SDL_GL_SwapBuffers();
            SDL_Delay(FRAME_DELAY);
        }
    }
    SDL_Quit();
    return 0;
}
