// The real webtemper binary under Xvfb: what a person sees and how it ends.
#include "webtemper_summary.h"
#include "xvfb_session.h"

#include <csignal>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

constexpr uint32_t BOUNDARY_GREY = 0x4d4d4d;

// Pixels of vertices and edges: lit, and not the boundary's grey.
static size_t graph_pixels(const screenshot &shot)
{
    return shot.count_not_black() - shot.count_near(BOUNDARY_GREY, 1);
}

// Key holds, in seconds. A hold short of the 500 ms delay adds one vertex;
// the long one adds one more per 15 ms after that, or fewer where the
// program's frames (a few ms each) delay a repeat: up to 69 counting 30 ms
// of slack in the hold, at least 40 when repeats come every 25 ms or faster.
constexpr double SHORT_HOLD = 0.45, LONG_HOLD = 1.5;
constexpr size_t HELD_VERTICES_MIN = 40, HELD_VERTICES_MAX = 69;
constexpr size_t CIRCLE_PIXELS = 40;  // a whole circle has about a hundred

struct circle_count {
    size_t circles = 0, strays = 0;
};

// Vertex circles: light colours (every channel at least half bright, as in
// every vertex colour) that cover a circle's worth of pixels. An edge shades
// from one end's colour to the other's and so leaves stray pixels of many
// colours.
static circle_count count_circles(const screenshot &shot)
{
    std::map<uint32_t, size_t> colours;
    for (uint32_t p : shot.pixels) {
        if (((p >> 16) & 255) >= 120 && ((p >> 8) & 255) >= 120 && (p & 255) >= 120)
            colours[p]++;
    }
    circle_count count;
    for (const auto &colour : colours)
        (colour.second >= CIRCLE_PIXELS ? count.circles : count.strays)++;
    return count;
}

struct webtemper_e2e : xvfb_test {
    void SetUp() override
    {
        xvfb_test::SetUp();
        start_program(WEBTEMPER_BINARY);
        ASSERT_TRUE(wait_for_picture()) << "no picture";
    }

    // A graph of n vertices, faded in, with annealing paused so that only
    // the keys change the picture.
    screenshot paused_graph(int n)
    {
        screenshot empty = settled_screenshot();
        send_keys(std::vector<std::string>(n, "a"), 10);
        send_keys({"space"});
        return changed_screenshot({display_name}, empty);
    }

    void hold(const std::string &key, double seconds)
    {
        run_xdotool("keydown " + key + " sleep " + std::to_string(seconds) + " keyup " + key);
    }
};

TEST_F(webtemper_e2e, starts_empty_full_screen_without_cursor_and_prints_the_keys)
{
    expect_full_screen_window("Webtemper Demo");
    screenshot shot = settled_screenshot();
    EXPECT_GT(shot.count_near(BOUNDARY_GREY, 1), 1000u);
    EXPECT_EQ(graph_pixels(shot), 0u);
    send_keys({"q"});
    expect_clean_exit(EXIT_LIMIT, WEBTEMPER_SUMMARY);
}

TEST_F(webtemper_e2e, held_a_repeats_after_half_a_second_every_15_ms)
{
    // Paused, so that only the keys change the picture.
    send_keys({"space"});
    screenshot empty = settled_screenshot();
    hold("a", SHORT_HOLD);
    circle_count one = count_circles(changed_screenshot({display_name}, empty));
    EXPECT_EQ(one.circles, 1u);
    EXPECT_EQ(one.strays, 0u);
    hold("a", LONG_HOLD);
    // Drop every edge (a held X repeats as well): then each light colour
    // left is one vertex.
    hold("shift+x", 3.5);
    circle_count all = count_circles(settled_screenshot());
    for (int i = 0; i < 10 && all.strays > 0; i++) {
        send_keys(std::vector<std::string>(20, "shift+x"), 10);
        all = count_circles(settled_screenshot());
    }
    ASSERT_EQ(all.strays, 0u) << "edges left";
    ASSERT_GE(all.circles, 1u) << "no vertex at all";
    // The press itself, then one vertex per 15 ms after the first 500 ms.
    size_t held = all.circles - 1;
    EXPECT_GE(held, HELD_VERTICES_MIN);
    EXPECT_LE(held, HELD_VERTICES_MAX);
    send_keys({"shift+q"});
    expect_clean_exit(EXIT_LIMIT, WEBTEMPER_SUMMARY);
}

TEST_F(webtemper_e2e, edits_change_the_paused_picture_and_heat_or_cool_alone_do_not)
{
    screenshot shot = paused_graph(12);
    ASSERT_GT(graph_pixels(shot), 1000u);
    // Heating and cooling change only the temperature while paused.
    EXPECT_EQ(after_keys({"p"}), shot);
    EXPECT_EQ(after_keys({"shift+p"}), shot);
    for (const char *key : {"x", "shift+x", "r", "shift+r", "d", "shift+d"}) {
        screenshot next = changed_by_keys({key});
        EXPECT_NE(next, shot) << key;
        shot = next;
    }
    send_keys({"q"});
    expect_clean_exit(EXIT_LIMIT, WEBTEMPER_SUMMARY);
}

TEST_F(webtemper_e2e, space_resumes_the_layout)
{
    screenshot paused = paused_graph(10);
    EXPECT_EQ(settled_screenshot(), paused);
    // Heat while running: the vertices move again.
    send_keys({"space", "p"});
    EXPECT_TRUE(changes_from(paused));
    send_keys({"q"});
    expect_clean_exit(EXIT_LIMIT, WEBTEMPER_SUMMARY);
}

TEST_F(webtemper_e2e, deleting_every_vertex_leaves_the_outline)
{
    paused_graph(5);
    screenshot empty = changed_by_keys({"d", "d", "d", "d", "d", "d"});
    // Each pop waits for the previous one to be collected, so pop again.
    for (int i = 0; i < 10 && graph_pixels(empty) > 0; i++)
        empty = after_keys({"d"});
    EXPECT_EQ(graph_pixels(empty), 0u);
    send_keys({"q"});
    expect_clean_exit(EXIT_LIMIT, WEBTEMPER_SUMMARY);
}

TEST_F(webtemper_e2e, window_close_request_quits)
{
    EXPECT_GT(request_window_close(), 0);
    expect_clean_exit(EXIT_LIMIT, WEBTEMPER_SUMMARY);
}

// Where the window cannot be had, the start-up check of the step that failed
// prints its condition and aborts, without painting on the terminal.
static void expect_startup_abort(const program_run &run, const std::string &condition)
{
    ASSERT_NE(run.status, -1) << "still running";
    EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGABRT) << run.status;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("webtemper: webtemper/main.cpp:", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(": main: Assertion `" + condition + "' failed."), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find('\033'), std::string::npos);
}

// With no display at all SDL's video does not start, and promptly so.
static void expect_no_display_failure(const std::vector<std::string> &env)
{
    double elapsed = 0;
    program_run run = run_without_display(WEBTEMPER_BINARY, env, 5, &elapsed);
    expect_startup_abort(run, "SDL_Init(0x00000020 | 0x00000001) == 0");
    EXPECT_LT(elapsed, 1.0);
}

TEST(webtemper_no_display, display_unset_or_not_there)
{
    expect_no_display_failure({"DISPLAY"});
    expect_no_display_failure({"DISPLAY=:4711"});
}

// An X server without OpenGL: SDL's video starts, the OpenGL mode fails.
struct webtemper_without_glx : xvfb_test {
    webtemper_without_glx() { server_options = {"-extension", "GLX"}; }
};

TEST_F(webtemper_without_glx, opengl_mode_fails)
{
    start_program(WEBTEMPER_BINARY);
    ASSERT_TRUE(wait_for_exit(20)) << "still running";
    expect_startup_abort(program,
                         "SDL_SetVideoMode(1024, 768, 0, 0x00000002 | 0x80000000) != ((void *)0)");
}
