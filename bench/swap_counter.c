/* Preloaded into a program to measure its frame rate: counts calls of
 * SDL_GL_SwapBuffers and, at exit, writes the number of frames and the
 * seconds between the first and the last one to standard error. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>

static long frames;
static struct timespec first, last;

void SDL_GL_SwapBuffers(void)
{
    static void (*real_swap)(void);
    if (real_swap == NULL)
        real_swap = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    real_swap();
    clock_gettime(CLOCK_MONOTONIC, &last);
    if (frames++ == 0)
        first = last;
}

__attribute__((destructor)) static void report(void)
{
    double seconds = (last.tv_sec - first.tv_sec) + (last.tv_nsec - first.tv_nsec) / 1e9;
    fprintf(stderr, "swap_counter: %ld frames in %.3f s\n", frames, seconds);
}
