// deriraredeve: a five-fold quasiperiodic tiling of thick and thin rhombi,
// recomputed every frame by cut and project from the five-dimensional
// lattice. Start reading here: main() opens the window, do_init (tiling.h)
// builds the state, do_draw (walk.h) draws one frame.
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

static void open_window()
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
    if (SDL_SetVideoMode(WIDTH, HEIGHT, 0, SDL_OPENGL | SDL_FULLSCREEN) == nullptr)
        fail_start("cannot open the 1024x768 OpenGL window");
    SDL_ShowCursor(SDL_DISABLE);
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

int main()
{
    open_window();
    do_init(&qc);
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
