// Start-up checks that hold in every build type: unlike assert, they do not
// vanish under NDEBUG (and with them the calls they wrap). A failed check
// prints the standard assertion message with the given condition text and
// aborts. Used by main() and the drawing set-up.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void startup_check_failed(const char *text, const char *file, unsigned line,
                                              const char *function)
{
    fprintf(stderr, "%s: %s:%u: %s: Assertion `%s' failed.\n", program_invocation_short_name,
            file, line, function, text);
    abort();
}

#define STARTUP_CHECK(expression, text) \
    ((expression) ? static_cast<void>(0) : startup_check_failed(text, __FILE__, __LINE__, __func__))
