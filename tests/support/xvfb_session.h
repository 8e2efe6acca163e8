// End-to-end test fixture: starts its own Xvfb server on a free display,
// runs a real program binary on it, sends keys with xdotool, reads the
// screen with Xlib, and always stops the program and the server, also when
// a test fails.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

struct screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row from the top

    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    // Pixels exactly of this colour.
    size_t count(uint32_t rgb) const;
    // Pixels within `tolerance` per channel of this colour.
    size_t count_near(uint32_t rgb, int tolerance) const;
    size_t count_not_black() const;
    bool operator==(const screenshot &other) const { return pixels == other.pixels; }
    bool operator!=(const screenshot &other) const { return !(*this == other); }
    // Writes a binary PPM, for looking at a failure.
    void save_ppm(const std::string &path) const;
};

// What X shows of a program's window set-up.
struct window_view {
    std::string title, icon_title;  // of the window that has a name; "" if none
    // A viewable window covers the screen from its origin; whether it
    // bypasses window management (override-redirect); whether the program
    // asked a window manager to make it full screen (_NET_WM_STATE_FULLSCREEN).
    bool covers_screen = false, override_redirect = false, full_screen_asked = false;
    bool cursor_hidden = false;  // every pixel of the cursor over it is transparent
};

struct program_run {
    pid_t pid = -1;
    int out_fd = -1, err_fd = -1;
    int status = -1;  // as waitpid reports it, once ended
    std::string out, err;
};

class xvfb_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the binary with DISPLAY set to this server.
    void start_program(const std::string &path);
    // The same, with SIGINT, SIGTERM and SIGPIPE at their default actions as
    // in a terminal, even when this test runs with them ignored (as a
    // background job does).
    void start_program_with_default_signals(const std::string &path);
    // Waits until the screen shows something other than black.
    bool wait_for_picture(double seconds = 20);
    // Waits until two screenshots taken a moment apart agree.
    screenshot settled_screenshot(double seconds = 10);
    // Sends the keys and waits for the picture to settle.
    screenshot after_keys(const std::vector<std::string> &keys);
    screenshot take_screenshot();
    // Whether the screen differs from `before` within a few seconds.
    bool changes_from(const screenshot &before, double seconds = 3);
    // xdotool key names, e.g. "q", "shift+q", "space", "Escape".
    void send_keys(const std::vector<std::string> &keys, int delay_ms = 30);
    // Runs xdotool with these arguments, e.g. "keydown a sleep 0.7 keyup a".
    void run_xdotool(const std::string &arguments);
    // Checks the program's full-screen window without a cursor, as the SDL
    // 1.2 it loaded makes it: the classic library bypasses window management
    // and gives the icon the caption; the compatibility layer over SDL 2
    // asks a window manager for full screen and leaves the icon title unset.
    void expect_full_screen_window(const std::string &caption);
    // Sends WM_DELETE_WINDOW to every window that asks for it.
    int request_window_close();
    // Kills the display server at once, under the running program.
    void kill_server();
    // Waits for the program to end; false on timeout.
    bool wait_for_exit(double seconds);
    // Expects the program to end within `seconds` with status 0, having
    // printed `out` and nothing on standard error.
    void expect_clean_exit(double seconds, const std::string &out = "");

    std::vector<std::string> server_options;  // more Xvfb arguments, set before SetUp
    int display = -1;
    std::string display_name;
    pid_t server = -1;
    program_run program;

private:
    void close_observer();
    // Moves the pointer to the middle of the screen and reads the windows.
    window_view view_windows();
    // A connection that sees what clients ask of the root window, as a
    // window manager would, without being one.
    struct _XDisplay *observer = nullptr;
    bool full_screen_asked = false;
};

// Runs a binary with the given environment changes, no display server of
// ours, and waits up to `seconds` for it to end.
program_run run_without_display(const std::string &path, const std::vector<std::string> &env,
                                double seconds, double *elapsed);
bool ended_with_status(const program_run &run, int code);
