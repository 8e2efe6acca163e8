// The real programs on the desktops people run: weston and sway, whose
// output a person sees on the screen of the Xvfb server they draw into, and
// GNOME's mutter headless, each started for the tests of one output and
// reached through its Xwayland. What must hold there: the picture is the
// one of a 1024 x 768 screen, grown or shrunk to fill the output's height
// in a centred 4:3 viewport, black around it, with nothing of the desktop
// (panel, cursor) over or beside it; the keys work, q ends the program with
// status 0, and the output keeps its mode, also after kill -9.
#include "compositor_session.h"
#include "webtemper_summary.h"
#include "xvfb_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <unistd.h>
#include <map>
#include <set>
#include <sys/wait.h>
#include <thread>

constexpr int EDGE_SLACK = 3;  // pixels: rounding where a picture is scaled

static std::ostream &operator<<(std::ostream &out, const pixel_box &box)
{
    return out << "x " << box.xmin << ".." << box.xmax << ", y " << box.ymin << ".." << box.ymax;
}

// What a program shows on a plain 1024 x 768 X server: the box of its lit
// pixels and every colour in it.
struct program_look {
    pixel_box box;
    std::set<uint32_t> colours;
};

static program_look measure_look(const char *binary)
{
    program_look look = {};
    int display = -1;
    pid_t server = start_xvfb("1024x768", {}, &display);
    std::string name = ":" + std::to_string(display);
    program_run run = start_program_on(binary, {"DISPLAY=" + name, "XAUTHORITY"});
    if (display >= 0 && wait_for_picture({name}, run)) {
        screenshot shot = settled_screenshot({name});
        look.box = lit_box(shot);
        look.colours.insert(shot.pixels.begin(), shot.pixels.end());
    }
    stop_program(run);
    stop_process(server, SIGTERM);
    return look;
}

static const program_look &look_at_1024x768(const char *binary)
{
    static std::map<std::string, program_look> looks;
    auto found = looks.find(binary);
    if (found == looks.end())
        found = looks.emplace(binary, measure_look(binary)).first;
    return found->second;
}

struct desktop_case {
    compositor_kind kind;
    output_setup output;
};

static std::string case_name(const desktop_case &c)
{
    return std::string(compositor_name(c.kind)) + "_" + std::to_string(c.output.width) + "x" +
           std::to_string(c.output.height) + (c.output.scale > 1 ? "_scale_2" : "");
}

static void PrintTo(const desktop_case &c, std::ostream *out)
{
    *out << case_name(c);
}

// One compositor for each output: the cases of a parameter run in turn, so
// the session changes when the parameter does.
struct desktop_session {
    std::string name;
    compositor_session compositor;
    screenshot desktop;  // the monitor's screen before any program
};

static desktop_session current;

static void stop_current()
{
    stop_compositor(current.compositor);
    current = desktop_session();
}

static desktop_session &session_for(const desktop_case &c)
{
    if (current.name == case_name(c))
        return current;
    stop_current();
    current.name = case_name(c);
    current.compositor = start_compositor(c.kind, c.output);
    if (!current.compositor.monitor_display.empty() && current.compositor.skip_reason.empty())
        current.desktop = settled_screenshot({current.compositor.monitor_display});
    return current;
}

struct desktop : ::testing::TestWithParam<desktop_case> {
    static void TearDownTestSuite() { stop_current(); }

    void SetUp() override
    {
        session = &session_for(GetParam());
        if (!session->compositor.skip_reason.empty())
            GTEST_SKIP() << session->compositor.skip_reason;
        mode_before = xwayland_mode(session->compositor);
        ASSERT_FALSE(mode_before.empty()) << "xrandr cannot read Xwayland's mode";
        // Our own X clients (screenshots, xdotool) need the compositor's key.
        const std::string &key = session->compositor.xauthority;
        if (key.empty())
            unsetenv("XAUTHORITY");
        else
            setenv("XAUTHORITY", key.c_str(), 1);
    }

    void TearDown() override { stop_program(program); }

    void start(const char *binary)
    {
        program = start_program_on(binary, compositor_environment(session->compositor));
        binary_name = std::string(binary).substr(std::string(binary).rfind('/') + 1);
    }

    bool on_monitor() const { return !session->compositor.monitor_display.empty(); }

    // Waits until the program changes what the monitor shows and that
    // settles; a failure, with what the program said, if it ends instead.
    // Under mutter, whose Xwayland reads back no window's contents, waits
    // for the program's window and expects it to cover the output, and
    // returns an empty shot.
    screenshot first_picture()
    {
        auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            if (wait_for_exit(program, 0)) {
                ADD_FAILURE() << binary_name << " ended with status " << program.status
                              << ", stderr: " << program.err;
                return {};
            }
            if (on_monitor() && take_screenshot({monitor()}) != session->desktop)
                return settled_screenshot({monitor()});
            if (!on_monitor() && program_window() != 0) {
                expect_window_covers_output();
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ADD_FAILURE() << binary_name << " showed nothing";
        return {};
    }

    const std::string &monitor() const { return session->compositor.monitor_display; }

    // The program's top-level window on Xwayland, by its class; 0 if none.
    unsigned long program_window();

    void send_keys(const std::string &keys)
    {
        run_xdotool(session->compositor.xwayland_display, "key --delay 30 " + keys);
    }

    void expect_mode_kept(const char *when)
    {
        EXPECT_EQ(xwayland_mode(session->compositor), mode_before) << when;
    }

    // The picture in place: its lit box where the 1024 x 768 one's lands
    // when grown or shrunk to the output's height and centred; black all
    // around; none of the desktop's own colours left over it.
    void expect_picture_in_place(const screenshot &shot, const program_look &look);
    void expect_window_covers_output();
    // Moving the pointer over the picture changes nothing: no cursor.
    void expect_no_cursor(const screenshot &shot);

    desktop_session *session = nullptr;
    std::string mode_before, binary_name;
    program_run program;
};

static unsigned long find_window_of_class(Display *x, Window w, const std::string &name)
{
    XClassHint hint;
    if (XGetClassHint(x, w, &hint)) {
        bool match = name == hint.res_name || name == hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
        XWindowAttributes attributes;
        if (match && XGetWindowAttributes(x, w, &attributes) && attributes.map_state == IsViewable)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    unsigned long found = 0;
    if (XQueryTree(x, w, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && found == 0; i++)
            found = find_window_of_class(x, children[i], name);
        if (children != nullptr)
            XFree(children);
    }
    return found;
}

unsigned long desktop::program_window()
{
    Display *x = XOpenDisplay(session->compositor.xwayland_display.c_str());
    if (x == nullptr)
        return 0;
    unsigned long window = find_window_of_class(x, DefaultRootWindow(x), binary_name);
    XCloseDisplay(x);
    return window;
}

// The window manager may show the window first as it was asked for and make
// it full screen a moment later: waits for that, up to the settling limit.
void desktop::expect_window_covers_output()
{
    Display *x = XOpenDisplay(session->compositor.xwayland_display.c_str());
    ASSERT_NE(x, nullptr);
    Window root = DefaultRootWindow(x), child;
    XWindowAttributes screen, window = {};
    XGetWindowAttributes(x, root, &screen);
    int left = -1, top = -1;
    auto covers = [&] {
        return left == 0 && top == 0 && window.width == screen.width &&
               window.height == screen.height;
    };
    for (int tries = 0; tries < SETTLE_LIMIT * 10 && !covers(); tries++) {
        if (tries > 0)
            usleep(100000);
        Window w = program_window();
        if (w != 0 && XGetWindowAttributes(x, w, &window))
            XTranslateCoordinates(x, w, root, 0, 0, &left, &top, &child);
    }
    XCloseDisplay(x);
    EXPECT_TRUE(covers()) << "the window is " << window.width << "x" << window.height << " at "
                          << left << "," << top << " on a " << screen.width << "x"
                          << screen.height << " output";
}

void desktop::expect_picture_in_place(const screenshot &shot, const program_look &look)
{
    ASSERT_FALSE(shot.pixels.empty());
    // The 1024 x 768 picture, scaled to the output's height and centred.
    double scale = shot.height / 768.0;
    int left = int(std::lround((shot.width - 1024 * scale) / 2));
    pixel_box expected = {left + int(look.box.xmin * scale),
                          left + int(std::ceil((look.box.xmax + 1) * scale)) - 1,
                          int(look.box.ymin * scale),
                          int(std::ceil((look.box.ymax + 1) * scale)) - 1};
    pixel_box seen = lit_box(shot);
    EXPECT_NEAR(seen.xmin, expected.xmin, EDGE_SLACK) << "lit " << seen << ", expected " << expected;
    EXPECT_NEAR(seen.xmax, expected.xmax, EDGE_SLACK) << "lit " << seen << ", expected " << expected;
    EXPECT_NEAR(seen.ymin, expected.ymin, EDGE_SLACK) << "lit " << seen << ", expected " << expected;
    EXPECT_NEAR(seen.ymax, expected.ymax, EDGE_SLACK) << "lit " << seen << ", expected " << expected;
    size_t lit_outside = 0, desktop_left = 0;
    for (int y = 0; y < shot.height; y++) {
        for (int x = 0; x < shot.width; x++) {
            uint32_t p = shot.at(x, y), d = session->desktop.at(x, y);
            bool inside = x >= expected.xmin - EDGE_SLACK && x <= expected.xmax + EDGE_SLACK &&
                          y >= expected.ymin - EDGE_SLACK && y <= expected.ymax + EDGE_SLACK;
            lit_outside += !inside && p != 0;
            desktop_left += p == d && look.colours.count(d) == 0;
        }
    }
    EXPECT_EQ(lit_outside, 0u) << "pixels lit outside the picture";
    EXPECT_EQ(desktop_left, 0u) << "pixels of the desktop's own look (a panel, a cursor)";
}

void desktop::expect_no_cursor(const screenshot &shot)
{
    for (const char *place : {"mousemove 700 300", "mousemove 500 500"}) {
        run_xdotool(monitor(), place);
        EXPECT_EQ(settled_screenshot({monitor()}), shot) << "after " << place;
    }
}

TEST_P(desktop, deriraredeve_fills_a_centred_4_3_picture_and_quits_on_q)
{
    const program_look &look = look_at_1024x768(DERIRAREDEVE_BINARY);
    start(DERIRAREDEVE_BINARY);
    screenshot grey = first_picture();
    ASSERT_EQ(program.status, -1) << "not running";
    expect_mode_kept("while it runs");
    if (on_monitor()) {
        expect_picture_in_place(grey, look);
        expect_no_cursor(grey);
        send_keys("c");
        EXPECT_NE(changed_screenshot({monitor()}, grey), grey) << "c changes nothing";
    }
    send_keys("q");
    expect_clean_exit(program, EXIT_LIMIT);
    expect_mode_kept("after q");
}

TEST_P(desktop, webtemper_keeps_its_outline_in_place_and_quits_on_q)
{
    const program_look &look = look_at_1024x768(WEBTEMPER_BINARY);
    start(WEBTEMPER_BINARY);
    screenshot empty = first_picture();
    ASSERT_EQ(program.status, -1) << "not running";
    if (on_monitor()) {
        expect_picture_in_place(empty, look);
        send_keys("space a a a");
        EXPECT_NE(changed_screenshot({monitor()}, empty), empty) << "a adds no vertex";
    }
    send_keys("q");
    expect_clean_exit(program, EXIT_LIMIT, WEBTEMPER_SUMMARY);
    expect_mode_kept("after q");
}

TEST_P(desktop, killed_program_leaves_the_mode)
{
    start(DERIRAREDEVE_BINARY);
    first_picture();
    ASSERT_EQ(program.status, -1) << "not running";
    ASSERT_EQ(kill(program.pid, SIGKILL), 0);
    ASSERT_TRUE(wait_for_exit(program, EXIT_LIMIT));
    expect_mode_kept("after kill -9");
}

INSTANTIATE_TEST_SUITE_P(compositors, desktop,
                         ::testing::Values(desktop_case{compositor_kind::weston, {1920, 1080, 1}},
                                           desktop_case{compositor_kind::weston, {1280, 720, 1}},
                                           desktop_case{compositor_kind::sway, {1920, 1080, 1}},
                                           desktop_case{compositor_kind::sway, {1280, 720, 1}},
                                           desktop_case{compositor_kind::sway, {1920, 1080, 2}},
                                           desktop_case{compositor_kind::mutter, {1920, 1080, 1}}),
                         [](const ::testing::TestParamInfo<desktop_case> &info) {
                             return case_name(info.param);
                         });
