// The command line: --window, --help and --version, and nothing else.
// main() reads it before SDL starts, so that help, version and a refused
// argument need no display and never open a window.
#pragma once

#include <cstdio>

enum command_request {
    START_FULL_SCREEN,
    START_IN_WINDOW,
    PRINT_HELP,
    PRINT_VERSION,
    REFUSE_ARGUMENT,
};

struct command_line {
    command_request request;
    // For REFUSE_ARGUMENT: the first argument refused, and why.
    const char *refused;
    const char *reason;  // "unknown option" or "unexpected argument"
};

command_line read_command_line(int argc, const char *const argv[]);
// Prints the help or the version on out, or the refusal on err, and returns
// the exit status; for the two start requests it prints nothing.
int answer_command_line(const command_line *line, FILE *out, FILE *err);
