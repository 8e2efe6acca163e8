// The real deriraredeve binary under Xvfb: what a person sees and how it ends.
#include "emulation.h"
#include "xvfb_session.h"

#include <chrono>
#include <sys/wait.h>

// Colours of the drawing modes as they reach a 24-bit screen.
constexpr uint32_t WHITE = 0xffffff, DARK_GREY = 0x333333, LIGHT_GREY = 0xb3b3b3;
constexpr uint32_t DARK_RED = 0x801a1a, BLUE = 0x3333e6;
constexpr int SLACK = 2;  // per channel, for rounding in the GL
// Past any key repeat delay, and long enough for a few frames.
constexpr std::chrono::milliseconds HOLD{1200 * E2E_TIME_SCALE};

// A colour that covers a visible share of the screen (not a stray pixel).
static bool shows(const screenshot &shot, uint32_t rgb)
{
    return shot.count_near(rgb, SLACK) > 2000;
}

struct deriraredeve_e2e : xvfb_test {
    void SetUp() override
    {
        xvfb_test::SetUp();
        start_program(DERIRAREDEVE_BINARY);
        ASSERT_TRUE(wait_for_picture()) << "no picture";
    }
};

TEST_F(deriraredeve_e2e, default_frame_is_a_grey_tiling_with_white_outlines)
{
    screenshot shot = settled_screenshot();
    EXPECT_TRUE(shows(shot, DARK_GREY));
    EXPECT_TRUE(shows(shot, WHITE));
    EXPECT_FALSE(shows(shot, DARK_RED));
    EXPECT_FALSE(shows(shot, BLUE));
    // The tiling covers most of the screen.
    EXPECT_GT(shot.count_not_black(), shot.pixels.size() * 3 / 4);
    expect_full_screen_window("");
    send_keys({"q"});
    expect_clean_exit();
}

TEST_F(deriraredeve_e2e, c_colours_by_type_and_again_restores_even_held)
{
    screenshot grey = settled_screenshot();
    screenshot typed = changed_by_keys({"c"});
    EXPECT_TRUE(shows(typed, DARK_RED));
    EXPECT_TRUE(shows(typed, BLUE));
    EXPECT_FALSE(shows(typed, DARK_GREY));
    // Thick rhombi outnumber thin ones and are wider.
    EXPECT_GT(typed.count_near(DARK_RED, SLACK), typed.count_near(BLUE, SLACK));
    // Held past any repeat delay, c still toggles once: no key repeat.
    run_xdotool("keydown c");
    bool restored = false, toggled_back = false;
    for (auto start = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - start < HOLD;) {
        screenshot shot = take_screenshot();
        toggled_back = toggled_back || (restored && shot == typed);
        restored = restored || shot == grey;
    }
    run_xdotool("keyup c");
    EXPECT_TRUE(restored);
    EXPECT_FALSE(toggled_back);
    EXPECT_EQ(settled_screenshot(), grey);
    // Q quits like q: the key symbol is the same.
    send_keys({"shift+q"});
    expect_clean_exit();
}

TEST_F(deriraredeve_e2e, each_mode_key_changes_the_picture)
{
    screenshot solid = settled_screenshot();
    screenshot ellipses = changed_by_keys({"2"});
    EXPECT_NE(ellipses, solid);
    EXPECT_TRUE(shows(ellipses, LIGHT_GREY));
    EXPECT_FALSE(shows(ellipses, DARK_GREY));
    screenshot ellipses_typed = changed_by_keys({"c"});
    EXPECT_TRUE(shows(ellipses_typed, DARK_RED));
    EXPECT_TRUE(shows(ellipses_typed, BLUE));

    screenshot diagonals_typed = changed_by_keys({"3"});
    EXPECT_NE(diagonals_typed, ellipses_typed);
    EXPECT_TRUE(shows(diagonals_typed, DARK_RED));
    screenshot diagonals = changed_by_keys({"c"});
    EXPECT_TRUE(shows(diagonals, LIGHT_GREY));
    EXPECT_FALSE(shows(diagonals, BLUE));

    // Parity colouring does not depend on c.
    screenshot parity = changed_by_keys({"4"});
    EXPECT_NE(parity, diagonals);
    EXPECT_TRUE(shows(parity, DARK_RED));
    EXPECT_TRUE(shows(parity, BLUE));
    // c again after 3 shows that the c before it was read.
    EXPECT_EQ(changed_by_keys({"c", "3"}), diagonals_typed);

    EXPECT_EQ(changed_by_keys({"c", "1"}), solid);
    // q quits whatever the mode and colouring.
    send_keys({"3", "c", "q"});
    expect_clean_exit();
}

// Each run of other keys ends with c, whose picture is known: once it shows,
// the keys before it have been read.
TEST_F(deriraredeve_e2e, keys_outside_the_table_change_nothing)
{
    screenshot grey = settled_screenshot();
    screenshot typed = changed_by_keys({"c"});
    EXPECT_EQ(changed_by_keys({"x", "5", "space", "Escape", "shift+a", "0", "Return", "c"}), grey);
    screenshot ellipses = changed_by_keys({"2"});
    screenshot ellipses_typed = changed_by_keys({"c"});
    EXPECT_EQ(changed_by_keys({"x", "5", "space", "Escape", "c"}), ellipses);
    EXPECT_NE(ellipses_typed, typed);
    send_keys({"q"});
    expect_clean_exit();
}

TEST_F(deriraredeve_e2e, window_close_request_quits)
{
    EXPECT_GT(request_window_close(), 0);
    expect_clean_exit();
}

// With no usable display: one line on stderr, nothing else, status 1, at once.
static void expect_no_display_failure(const std::vector<std::string> &env)
{
    double elapsed = 0;
    program_run run = run_without_display(DERIRAREDEVE_BINARY, env, 5, &elapsed);
    EXPECT_TRUE(ended_with_status(run, 1)) << "status " << run.status;
    EXPECT_LT(elapsed, 1.0);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.rfind("deriraredeve: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    // No terminal escape sequences from a text-mode fallback.
    EXPECT_EQ(run.err.find('\033'), std::string::npos);
}

TEST(deriraredeve_no_display, display_unset_or_not_there)
{
    expect_no_display_failure({"DISPLAY"});
    expect_no_display_failure({"DISPLAY=:4711"});
}
