// How the real binaries end when they are not asked with q: SIGINT and
// SIGTERM become a quit request (SDL turns them into a quit event), so the
// program shuts SDL down and exits with status 0; a display server that
// goes away under a running program ends it within seconds with a failure
// status, instead of leaving it spinning or reporting success.
#include "webtemper_summary.h"
#include "xvfb_session.h"

#include <csignal>
#include <string>
#include <sys/wait.h>

struct program_case {
    const char *name;
    const char *binary;
    const char *out;                // what it prints on standard output
    std::vector<std::string> keys;  // a few keys, so that it has state to lose
};

static const program_case PROGRAMS[] = {
    {"deriraredeve", DERIRAREDEVE_BINARY, "", {"2", "c"}},
    {"webtemper", WEBTEMPER_BINARY, WEBTEMPER_SUMMARY, {"a", "a", "a", "x", "p"}},
};

// Test names and messages show the program by name.
static void PrintTo(const program_case &program, std::ostream *out)
{
    *out << program.name;
}

struct process_end : xvfb_test, ::testing::WithParamInterface<program_case> {
    void SetUp() override
    {
        xvfb_test::SetUp();
        start_program_with_default_signals(GetParam().binary);
        ASSERT_TRUE(wait_for_picture()) << "no picture";
        send_keys(GetParam().keys);
    }

    void expect_quit_on(int signal_number)
    {
        ASSERT_EQ(kill(program.pid, signal_number), 0);
        expect_clean_exit(EXIT_LIMIT, GetParam().out);
    }
};

TEST_P(process_end, sigint_quits_like_q)
{
    expect_quit_on(SIGINT);
}

TEST_P(process_end, sigterm_quits_like_q)
{
    expect_quit_on(SIGTERM);
}

TEST_P(process_end, lost_display_ends_the_program_with_a_failure_status)
{
    kill_server();
    ASSERT_TRUE(wait_for_exit(EXIT_LIMIT)) << "still running without its display";
    EXPECT_TRUE(WIFEXITED(program.status) && WEXITSTATUS(program.status) != 0)
        << "status " << program.status << ", stderr: " << program.err;
    EXPECT_EQ(program.out, GetParam().out);
    // No leak or error report of the program's own on the way out.
    EXPECT_EQ(program.err.find("Sanitizer"), std::string::npos) << program.err;
}

INSTANTIATE_TEST_SUITE_P(both_programs, process_end, ::testing::ValuesIn(PROGRAMS),
                         [](const ::testing::TestParamInfo<program_case> &info) {
                             return std::string(info.param.name);
                         });
