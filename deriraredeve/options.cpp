#include "options.h"

#include <cstring>

// Exit statuses.
constexpr int ANSWERED = 0;
constexpr int USAGE_ERROR = 2;

static const char USAGE[] =
    "Usage: deriraredeve [--window]\n"
    "       deriraredeve --help | --version\n"
    "A five-fold quasiperiodic tiling of thick and thin rhombi, full screen.\n"
    "\n"
    "  --window   show it in a 1024x768 window instead of full screen\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Keys: 1 filled rhombi, 2 ellipses, 3 diagonals, 4 diagonals coloured by\n"
    "parity, c colour by rhombus type (again for grey), q quit.\n"
    "\n"
    "More in the manual page: man deriraredeve\n";

static command_line request_of(const char *argument)
{
    if (strcmp(argument, "--window") == 0)
        return {START_IN_WINDOW, nullptr, nullptr};
    if (strcmp(argument, "--help") == 0)
        return {PRINT_HELP, nullptr, nullptr};
    if (strcmp(argument, "--version") == 0)
        return {PRINT_VERSION, nullptr, nullptr};
    if (argument[0] == '-')
        return {REFUSE_ARGUMENT, argument, "unknown option"};
    return {REFUSE_ARGUMENT, argument, "unexpected argument"};
}

// One option at most: whatever follows it is refused, known or not.
command_line read_command_line(int argc, const char *const argv[])
{
    if (argc < 2)
        return {START_FULL_SCREEN, nullptr, nullptr};
    command_line line = request_of(argv[1]);
    if (line.request != REFUSE_ARGUMENT && argc > 2)
        return {REFUSE_ARGUMENT, argv[2], "unexpected argument"};
    return line;
}

int answer_command_line(const command_line *line, FILE *out, FILE *err)
{
    switch (line->request) {
    case PRINT_HELP:
        fputs(USAGE, out);
        return ANSWERED;
    case PRINT_VERSION:
        fputs("deriraredeve " QUASI_DEMOS_VERSION "\n", out);
        return ANSWERED;
    case REFUSE_ARGUMENT:
        fprintf(err, "deriraredeve: %s '%s'; try 'deriraredeve --help'\n", line->reason,
                line->refused);
        return USAGE_ERROR;
    case START_FULL_SCREEN:
    case START_IN_WINDOW:
        break;
    }
    return ANSWERED;
}
