// The real webtemper binary under Xvfb: what a person sees and how it ends.
#include "webtemper_summary.h"
#include "xvfb_session.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

constexpr uint32_t BOUNDARY_GREY = 0x4d4d4d;

// Pixels of vertices and edges: lit, and not the boundary's grey.
static size_t graph_pixels(const screenshot &shot)
{
    return shot.count_not_black() - shot.count_near(BOUNDARY_GREY, 1);
}

struct webtemper_e2e : xvfb_test {
    void SetUp() override
    {
        xvfb_test::SetUp();
        start_program(WEBTEMPER_BINARY);
        ASSERT_TRUE(wait_for_picture()) << "no picture";
    }

    screenshot after_keys(const std::vector<std::string> &keys)
    {
        send_keys(keys);
        return settled_screenshot();
    }

    // A graph of n vertices, faded in, with annealing paused so that only
    // the keys change the picture.
    screenshot paused_graph(int n)
    {
        send_keys(std::vector<std::string>(n, "a"), 10);
        return after_keys({"space"});
    }

    // Whether the screen differs from `before` within a few seconds.
    bool changes_from(const screenshot &before)
    {
        for (int tries = 0; tries < 30; tries++) {
            if (take_screenshot() != before)
                return true;
            usleep(100 * 1000);
        }
        return false;
    }

    void expect_clean_exit(double seconds)
    {
        ASSERT_TRUE(wait_for_exit(seconds)) << "still running";
        EXPECT_TRUE(WIFEXITED(program.status) && WEXITSTATUS(program.status) == 0)
            << "status " << program.status << ", stderr: " << program.err;
        EXPECT_EQ(program.out, WEBTEMPER_SUMMARY);
        EXPECT_EQ(program.err, "");
    }
};

TEST_F(webtemper_e2e, starts_empty_inside_a_grey_outline_and_prints_the_keys)
{
    screenshot shot = settled_screenshot();
    EXPECT_GT(shot.count_near(BOUNDARY_GREY, 1), 1000u);
    EXPECT_EQ(graph_pixels(shot), 0u);
    send_keys({"q"});
    expect_clean_exit(2);
}

TEST_F(webtemper_e2e, a_fills_the_screen_with_coloured_vertices)
{
    screenshot previous = take_screenshot();
    for (int round = 0; round < 4; round++) {
        send_keys(std::vector<std::string>(12, "a"), 10);
        EXPECT_TRUE(changes_from(previous));
        previous = take_screenshot();
    }
    // Once faded in: 48 vertices and their edges cover much of the screen.
    previous = settled_screenshot();
    EXPECT_GT(graph_pixels(previous), 5000u);
    // Light colours: every channel of a vertex is at least half bright.
    size_t light = 0;
    for (uint32_t p : previous.pixels)
        light += ((p >> 16) & 255) >= 120 && ((p >> 8) & 255) >= 120 && (p & 255) >= 120 &&
                 p != 0xffffff;
    EXPECT_GT(light, 1000u);
    send_keys({"shift+q"});
    expect_clean_exit(2);
}

TEST_F(webtemper_e2e, edits_change_the_paused_picture_and_heat_or_cool_alone_do_not)
{
    screenshot shot = paused_graph(12);
    ASSERT_GT(graph_pixels(shot), 1000u);
    // Heating and cooling change only the temperature while paused.
    EXPECT_EQ(after_keys({"p"}), shot);
    EXPECT_EQ(after_keys({"shift+p"}), shot);
    for (const char *key : {"x", "shift+x", "r", "shift+r", "d", "shift+d"}) {
        screenshot next = after_keys({key});
        EXPECT_NE(next, shot) << key;
        shot = next;
    }
    send_keys({"q"});
    expect_clean_exit(2);
}

TEST_F(webtemper_e2e, space_resumes_the_layout)
{
    screenshot paused = paused_graph(10);
    EXPECT_EQ(settled_screenshot(), paused);
    // Heat while running: the vertices move again.
    send_keys({"space", "p"});
    EXPECT_TRUE(changes_from(paused));
    send_keys({"q"});
    expect_clean_exit(2);
}

TEST_F(webtemper_e2e, deleting_every_vertex_leaves_the_outline)
{
    paused_graph(5);
    screenshot empty = after_keys({"d", "d", "d", "d", "d", "d"});
    // Each pop waits for the previous one to be collected, so pop again.
    for (int i = 0; i < 10 && graph_pixels(empty) > 0; i++)
        empty = after_keys({"d"});
    EXPECT_EQ(graph_pixels(empty), 0u);
    send_keys({"q"});
    expect_clean_exit(2);
}

TEST_F(webtemper_e2e, window_close_request_quits)
{
    EXPECT_GT(request_window_close(), 0);
    expect_clean_exit(2);
}

// With no usable display: the start-up check's message, an abort, and no
// terminal painting.
static void expect_no_display_failure(const std::vector<std::string> &env)
{
    double elapsed = 0;
    program_run run = run_without_display(WEBTEMPER_BINARY, env, 5, &elapsed);
    ASSERT_NE(run.status, -1) << "still running";
    EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGABRT) << run.status;
    EXPECT_LT(elapsed, 1.0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("webtemper: webtemper/main.cpp:", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(": main: Assertion `SDL_"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\033'), std::string::npos);
}

TEST(webtemper_no_display, display_unset)
{
    expect_no_display_failure({"DISPLAY"});
}

TEST(webtemper_no_display, display_that_does_not_exist)
{
    expect_no_display_failure({"DISPLAY=:4711"});
}
