// End-to-end test fixture: starts its own Xvfb server on a free display,
// runs a real program binary on it, sends keys with xdotool, reads the
// screen with Xlib, and always stops the program and the server, also when
// a test fails. The waits for a picture are free functions too, for the
// tests that run the programs under a desktop's compositor.
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

// Failure messages show a screenshot's size and lit pixels, not its bytes.
void PrintTo(const screenshot &shot, std::ostream *out);

// The smallest box around every lit (not black) pixel of a screenshot;
// xmax < xmin when none is lit.
struct pixel_box {
    int xmin, xmax, ymin, ymax;
};
pixel_box lit_box(const screenshot &shot);

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

// Where a test looks: the root window of an X display, or one window on it
// (a compositor that draws its windows itself shows nothing on its root).
struct screen_view {
    std::string display;
    unsigned long window = 0;  // 0: the root window
};

// Limits of the waits, for a native run (stretched under emulation). They
// are far beyond what a busy machine needs: only a hang reaches them.
constexpr double PICTURE_LIMIT = 60;  // seconds to a first full frame
constexpr double SETTLE_LIMIT = 60;   // seconds for a picture to settle or change
constexpr double EXIT_LIMIT = 30;     // seconds from a request to quit to the exit

screenshot take_screenshot(const screen_view &view);
// Waits for the program's first full frame: a picture not all black, the
// same in two shots a frame apart. A failure if the program ends first or
// the limit passes.
bool wait_for_picture(const screen_view &view, program_run &run, double seconds = PICTURE_LIMIT);
// Waits until the picture is not all black and the same over several frame
// times (so neither a screen another client blanked for a moment nor a
// half-drawn frame passes); a failure, and the last shot, at the limit.
screenshot settled_screenshot(const screen_view &view, double seconds = SETTLE_LIMIT);
// Waits until the picture differs from `before`, then until it settles: the
// way to see what a key does. A failure if nothing changes within the limit.
screenshot changed_screenshot(const screen_view &view, const screenshot &before,
                              double seconds = SETTLE_LIMIT);
// Runs xdotool on the display, e.g. "key --delay 30 q".
void run_xdotool(const std::string &display, const std::string &arguments);
// Starts the binary with DISPLAY and the given environment changes, with its
// standard output and error kept for the test.
program_run start_program_on(const std::string &path, const std::vector<std::string> &env);
// Waits for the program to end; false on timeout.
bool wait_for_exit(program_run &run, double seconds);
// Expects the program to end within `seconds` with status 0, having printed
// `out` and nothing on standard error.
void expect_clean_exit(program_run &run, double seconds, const std::string &out = "");
// Kills a program that is still running and closes its outputs.
void stop_program(program_run &run);

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
    // The waits above, on this server's screen.
    bool wait_for_picture(double seconds = PICTURE_LIMIT);
    screenshot settled_screenshot(double seconds = SETTLE_LIMIT);
    // Sends keys that must change the picture; the changed picture, settled.
    screenshot changed_by_keys(const std::vector<std::string> &keys, int delay_ms = 30);
    // Sends keys that may leave the picture as it is, and waits for it to
    // settle. Follow keys that change nothing with one that does, to know
    // they were read.
    screenshot after_keys(const std::vector<std::string> &keys);
    screenshot take_screenshot();
    // Whether the screen differs from `before` within the limit.
    bool changes_from(const screenshot &before, double seconds = SETTLE_LIMIT);
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
    void expect_clean_exit(double seconds = EXIT_LIMIT, const std::string &out = "");

    std::vector<std::string> server_options;  // more Xvfb arguments, set before SetUp
    std::string screen_size = "1024x768";     // of the Xvfb screen, set before SetUp
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

// Starts Xvfb with these arguments after its screen size; its pid, and its
// display number in *display (-1 if it did not start).
pid_t start_xvfb(const std::string &size, const std::vector<std::string> &options, int *display);
void stop_process(pid_t pid, int signal_number);

// Runs a binary with the given environment changes, no display server of
// ours, and waits up to `seconds` for it to end.
program_run run_without_display(const std::string &path, const std::vector<std::string> &env,
                                double seconds, double *elapsed);
bool ended_with_status(const program_run &run, int code);
