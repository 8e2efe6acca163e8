/* Preloaded into a program by the picture test: the clock that seeds the
 * program's random numbers stands still at one moment, so that runs on
 * different machines draw the same graph. */
#include <time.h>

static const time_t FIXED_TIME = 1700000000; /* s since 1970 */

time_t time(time_t *t)
{
    if (t != NULL)
        *t = FIXED_TIME;
    return FIXED_TIME;
}
