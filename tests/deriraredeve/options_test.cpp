#include "options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

struct answer {
    command_request request;
    int status;
    std::string out, err;
};

static answer answer_to(std::vector<const char *> arguments)
{
    arguments.insert(arguments.begin(), "deriraredeve");
    command_line line = read_command_line(int(arguments.size()), arguments.data());
    char *out_text = nullptr, *err_text = nullptr;
    size_t out_size = 0, err_size = 0;
    FILE *out = open_memstream(&out_text, &out_size);
    FILE *err = open_memstream(&err_text, &err_size);
    int status = answer_command_line(&line, out, err);
    fclose(out);
    fclose(err);
    answer result = {line.request, status, out_text, err_text};
    free(out_text);
    free(err_text);
    return result;
}

// The version at the head of the package's change log, its upstream part.
static std::string changelog_version()
{
    std::ifstream changelog(CHANGELOG);
    std::string head;
    std::getline(changelog, head);
    size_t open = head.find('('), end = head.find_first_of("-+)", open);
    return head.substr(open + 1, end - open - 1);
}

TEST(command_line, help_version_window_and_refusals)
{
    answer plain = answer_to({});
    EXPECT_EQ(plain.request, START_FULL_SCREEN);
    answer window = answer_to({"--window"});
    EXPECT_EQ(window.request, START_IN_WINDOW);
    for (const answer &start : {plain, window})
        EXPECT_EQ(start.out + start.err, "");

    answer help = answer_to({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    for (const char *line : {"--window", "--help", "--version", "1 filled rhombi", "q quit",
                             "man deriraredeve"})
        EXPECT_NE(help.out.find(line), std::string::npos) << line;

    answer version = answer_to({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "deriraredeve " + changelog_version() + "\n");
    EXPECT_EQ(version.err, "");

    // The first argument that does not belong is named, on one line.
    const std::vector<std::pair<std::vector<const char *>, std::string>> refused = {
        {{"--foo"}, "unknown option '--foo'"},
        {{"-window"}, "unknown option '-window'"},
        {{"window"}, "unexpected argument 'window'"},
        {{"--foo", "bar"}, "unknown option '--foo'"},
        {{"--window", "extra"}, "unexpected argument 'extra'"},
        {{"--help", "--version"}, "unexpected argument '--version'"},
    };
    for (const auto &[arguments, message] : refused) {
        answer wrong = answer_to(arguments);
        EXPECT_EQ(wrong.request, REFUSE_ARGUMENT) << message;
        EXPECT_EQ(wrong.status, 2) << message;
        EXPECT_EQ(wrong.out, "");
        EXPECT_EQ(wrong.err, "deriraredeve: " + message + "; try 'deriraredeve --help'\n");
    }
}
