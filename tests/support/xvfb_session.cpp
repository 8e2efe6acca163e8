#include "xvfb_session.h"

#include "program_environment.h"
#include "emulation.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

static double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Limits in the tests are for a native run.
static double stretched(double seconds)
{
    return seconds * E2E_TIME_SCALE;
}

static void pause_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

size_t screenshot::count(uint32_t rgb) const
{
    size_t n = 0;
    for (uint32_t p : pixels)
        n += p == rgb;
    return n;
}

size_t screenshot::count_near(uint32_t rgb, int tolerance) const
{
    size_t n = 0;
    for (uint32_t p : pixels) {
        bool near = true;
        for (int shift = 0; shift <= 16; shift += 8)
            near = near && std::abs(int((p >> shift) & 255) - int((rgb >> shift) & 255)) <= tolerance;
        n += near;
    }
    return n;
}

size_t screenshot::count_not_black() const
{
    return pixels.size() - count(0);
}

void screenshot::save_ppm(const std::string &path) const
{
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        return;
    fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint32_t p : pixels) {
        unsigned char rgb[3] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
        fwrite(rgb, 1, 3, f);
    }
    fclose(f);
}

void PrintTo(const screenshot &shot, std::ostream *out)
{
    *out << shot.width << "x" << shot.height << " with " << shot.count_not_black()
         << " pixels not black";
}

static int temporary_output()
{
    const char *folder = getenv("TMPDIR");
    std::string name = std::string(folder != nullptr && *folder != 0 ? folder : "/tmp") +
                       "/e2e-output-XXXXXX";
    int fd = mkstemp(name.data());
    unlink(name.c_str());
    return fd;
}

static std::string read_back(int fd)
{
    std::string text;
    char buffer[4096];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    return text;
}

// Reads the display number Xvfb writes once it accepts connections.
static int read_display_number(int fd, double seconds)
{
    std::string text;
    auto start = std::chrono::steady_clock::now();
    fcntl(fd, F_SETFL, O_NONBLOCK);
    while (seconds_since(start) < seconds) {
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n == 1 && c == '\n')
            return atoi(text.c_str());
        if (n == 1)
            text += c;
        else if (n == 0)
            return -1;
        else
            pause_ms(10);
    }
    return -1;
}

// Waits until a client can connect to the display.
static bool server_answers(int display, double seconds)
{
    std::string name = ":" + std::to_string(display);
    auto start = std::chrono::steady_clock::now();
    do {
        if (Display *x = XOpenDisplay(name.c_str())) {
            XCloseDisplay(x);
            return true;
        }
        pause_ms(20);
    } while (seconds_since(start) < seconds);
    return false;
}

pid_t start_xvfb(const std::string &size, const std::vector<std::string> &options, int *display)
{
    int fds[2];
    *display = -1;
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int null_fd = open("/dev/null", O_RDWR);
        dup2(null_fd, STDIN_FILENO);
        dup2(null_fd, STDOUT_FILENO);
        dup2(null_fd, STDERR_FILENO);
        std::vector<std::string> arguments = {"Xvfb", "-displayfd", std::to_string(fds[1]),
                                              "-screen", "0", size + "x24", "-nolisten",
                                              "tcp", "-noreset"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid > 0)
        *display = read_display_number(fds[0], stretched(30));
    close(fds[0]);
    if (*display >= 0 && !server_answers(*display, stretched(30)))
        *display = -1;
    return pid;
}

void xvfb_test::SetUp()
{
    server = start_xvfb(screen_size, server_options, &display);
    ASSERT_GE(display, 0) << "Xvfb did not start";
    display_name = ":" + std::to_string(display);
    observer = XOpenDisplay(display_name.c_str());
    ASSERT_NE(observer, nullptr);
    XSelectInput(observer, DefaultRootWindow(observer), SubstructureNotifyMask);
    XSync(observer, False);
}

void stop_process(pid_t pid, int signal_number)
{
    if (pid <= 0)
        return;
    kill(pid, signal_number);
    int status;
    waitpid(pid, &status, 0);
}

void xvfb_test::close_observer()
{
    if (observer != nullptr)
        XCloseDisplay(observer);
    observer = nullptr;
}

void xvfb_test::TearDown()
{
    close_observer();
    stop_program(program);
    stop_process(server, SIGTERM);
    server = -1;
}

// Extra environment for the programs under test only (not for Xvfb or
// xdotool), fixed when the tests are configured.
static std::vector<std::string> program_environment(const std::vector<std::string> &env)
{
    std::vector<std::string> all = {E2E_PROGRAM_ENVIRONMENT};
    all.insert(all.end(), env.begin(), env.end());
    return all;
}

// A program started from a terminal has these at their default actions; one
// started by a background job inherits SIGINT ignored.
static void reset_signals_to_default()
{
    for (int signal_number : {SIGINT, SIGTERM, SIGPIPE})
        signal(signal_number, SIG_DFL);
}

static pid_t spawn(const std::string &path, const std::vector<std::string> &env, int out_fd,
                   int err_fd, bool reset_signals = false)
{
    std::vector<std::string> assignments = program_environment(env);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int null_fd = open("/dev/null", O_RDONLY);
        dup2(null_fd, STDIN_FILENO);
        dup2(out_fd, STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        for (const std::string &assignment : assignments) {
            size_t eq = assignment.find('=');
            if (eq == std::string::npos)
                unsetenv(assignment.c_str());
            else
                setenv(assignment.substr(0, eq).c_str(), assignment.substr(eq + 1).c_str(), 1);
        }
        if (reset_signals)
            reset_signals_to_default();
        // Through the emulator that runs the tests too, when cross-built.
        std::vector<const char *> argv = {E2E_PROGRAM_LAUNCHER};
        argv.push_back(path.c_str());
        argv.push_back(nullptr);
        execvp(argv[0], const_cast<char *const *>(argv.data()));
        _exit(127);
    }
    return pid;
}

program_run start_program_on(const std::string &path, const std::vector<std::string> &env)
{
    program_run run;
    run.out_fd = temporary_output();
    run.err_fd = temporary_output();
    run.pid = spawn(path, env, run.out_fd, run.err_fd);
    return run;
}

void stop_program(program_run &run)
{
    if (run.pid > 0 && run.status == -1)
        stop_process(run.pid, SIGKILL);
    for (int fd : {run.out_fd, run.err_fd}) {
        if (fd >= 0)
            close(fd);
    }
    run.out_fd = run.err_fd = -1;
}

void xvfb_test::start_program(const std::string &path)
{
    program = start_program_on(path, {"DISPLAY=" + display_name});
}

void xvfb_test::start_program_with_default_signals(const std::string &path)
{
    program.out_fd = temporary_output();
    program.err_fd = temporary_output();
    program.pid =
        spawn(path, {"DISPLAY=" + display_name}, program.out_fd, program.err_fd, true);
}

static bool wait_for(program_run &run, double seconds)
{
    seconds = stretched(seconds);
    auto start = std::chrono::steady_clock::now();
    do {
        if (waitpid(run.pid, &run.status, WNOHANG) == run.pid) {
            run.out = read_back(run.out_fd);
            run.err = read_back(run.err_fd);
            return true;
        }
        pause_ms(10);
    } while (seconds_since(start) < seconds);
    run.status = -1;
    return false;
}

bool wait_for_exit(program_run &run, double seconds)
{
    return wait_for(run, seconds);
}

bool xvfb_test::wait_for_exit(double seconds)
{
    return wait_for(program, seconds);
}

void expect_clean_exit(program_run &run, double seconds, const std::string &out)
{
    ASSERT_TRUE(wait_for(run, seconds)) << "still running";
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0)
        << "status " << run.status << ", stderr: " << run.err;
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, "");
}

void xvfb_test::expect_clean_exit(double seconds, const std::string &out)
{
    ::expect_clean_exit(program, seconds, out);
}

screenshot take_screenshot(const screen_view &view)
{
    screenshot shot;
    Display *x = XOpenDisplay(view.display.c_str());
    if (x == nullptr)
        return shot;
    Window window = view.window != 0 ? view.window : DefaultRootWindow(x);
    XWindowAttributes attributes;
    XImage *image = nullptr;
    if (XGetWindowAttributes(x, window, &attributes))
        image = XGetImage(x, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image != nullptr) {
        shot.width = attributes.width;
        shot.height = attributes.height;
        shot.pixels.resize(size_t(shot.width) * shot.height);
        for (int y = 0; y < shot.height; y++) {
            for (int px = 0; px < shot.width; px++)
                shot.pixels[size_t(y) * shot.width + px] = XGetPixel(image, px, y) & 0xffffff;
        }
        XDestroyImage(image);
    }
    XCloseDisplay(x);
    return shot;
}

screenshot xvfb_test::take_screenshot()
{
    return ::take_screenshot({display_name});
}

// Shots this far apart see the next frame even in a slow sanitizer build.
static int frame_interval_ms()
{
    return 150 * E2E_TIME_SCALE;
}

// Waits until `stable_needed` shots in a row, a frame time apart, show the
// same picture that is not all black. Stops early when the program, if
// given, ends.
static bool settle(const screen_view &view, int stable_needed, double seconds, screenshot *last,
                   program_run *run = nullptr)
{
    auto start = std::chrono::steady_clock::now();
    *last = take_screenshot(view);
    for (int stable = 0; stable < stable_needed;) {
        if (seconds_since(start) > stretched(seconds))
            return false;
        if (run != nullptr && wait_for(*run, 0)) {
            ADD_FAILURE() << "the program ended with status " << run->status
                          << ", stderr: " << run->err;
            return false;
        }
        pause_ms(frame_interval_ms());
        screenshot next = take_screenshot(view);
        bool same = next == *last && !next.pixels.empty() && next.count_not_black() > 0;
        stable = same ? stable + 1 : 0;
        *last = std::move(next);
    }
    return true;
}

bool wait_for_picture(const screen_view &view, program_run &run, double seconds)
{
    screenshot shot;
    return settle(view, 1, seconds, &shot, &run);
}

screenshot settled_screenshot(const screen_view &view, double seconds)
{
    screenshot shot;
    if (!settle(view, 3, seconds, &shot))
        ADD_FAILURE() << "the picture did not settle within " << stretched(seconds) << " s";
    return shot;
}

screenshot changed_screenshot(const screen_view &view, const screenshot &before, double seconds)
{
    auto start = std::chrono::steady_clock::now();
    while (take_screenshot(view) == before) {
        if (seconds_since(start) > stretched(seconds)) {
            ADD_FAILURE() << "the picture did not change within " << stretched(seconds) << " s";
            return before;
        }
        pause_ms(frame_interval_ms() / 3);
    }
    return settled_screenshot(view, seconds);
}

bool xvfb_test::wait_for_picture(double seconds)
{
    return ::wait_for_picture({display_name}, program, seconds);
}

screenshot xvfb_test::settled_screenshot(double seconds)
{
    return ::settled_screenshot({display_name}, seconds);
}

bool xvfb_test::changes_from(const screenshot &before, double seconds)
{
    auto start = std::chrono::steady_clock::now();
    do {
        if (take_screenshot() != before)
            return true;
        pause_ms(100);
    } while (seconds_since(start) < stretched(seconds));
    return false;
}

screenshot xvfb_test::changed_by_keys(const std::vector<std::string> &keys, int delay_ms)
{
    screenshot before = take_screenshot();
    send_keys(keys, delay_ms);
    return changed_screenshot({display_name}, before);
}

screenshot xvfb_test::after_keys(const std::vector<std::string> &keys)
{
    send_keys(keys);
    return settled_screenshot();
}

void run_xdotool(const std::string &display, const std::string &arguments)
{
    std::string command = "DISPLAY=" + display + " xdotool " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void xvfb_test::send_keys(const std::vector<std::string> &keys, int delay_ms)
{
    std::string arguments = "key --delay " + std::to_string(delay_ms);
    for (const std::string &key : keys)
        arguments += " '" + key + "'";
    ::run_xdotool(display_name, arguments);
}

void xvfb_test::run_xdotool(const std::string &arguments)
{
    ::run_xdotool(display_name, arguments);
}

static std::string text_property(Display *x, Window w, Atom property)
{
    XTextProperty text;
    if (!XGetTextProperty(x, w, &text, property))
        return "";
    std::string value(reinterpret_cast<const char *>(text.value), text.nitems);
    XFree(text.value);
    return value;
}

// A request to a window manager to add _NET_WM_STATE_FULLSCREEN.
static bool asks_full_screen(Display *x, const XEvent &event)
{
    Atom state = XInternAtom(x, "_NET_WM_STATE", False);
    long full = long(XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False));
    const long *l = event.xclient.data.l;
    return event.type == ClientMessage && event.xclient.message_type == state &&
           event.xclient.format == 32 && l[0] == 1 && (l[1] == full || l[2] == full);
}

// The cursor image under the pointer, fully transparent or not.
static bool cursor_transparent(Display *x)
{
    int event_base, error_base;
    if (!XFixesQueryExtension(x, &event_base, &error_base))
        return false;
    XFixesCursorImage *cursor = XFixesGetCursorImage(x);
    if (cursor == nullptr)
        return false;
    bool clear = true;
    for (size_t i = 0; i < size_t(cursor->width) * cursor->height; i++)
        clear = clear && (cursor->pixels[i] >> 24) == 0;
    XFree(cursor);
    return clear;
}

window_view xvfb_test::view_windows()
{
    window_view view;
    for (XEvent event; XPending(observer) > 0;) {
        XNextEvent(observer, &event);
        full_screen_asked = full_screen_asked || asks_full_screen(observer, event);
    }
    Display *x = XOpenDisplay(display_name.c_str());
    if (x == nullptr)
        return view;
    Window root = DefaultRootWindow(x), root_return, parent, *children = nullptr;
    unsigned count = 0;
    XWindowAttributes screen, window;
    XGetWindowAttributes(x, root, &screen);
    XQueryTree(x, root, &root_return, &parent, &children, &count);
    for (unsigned i = 0; i < count; i++) {
        if (view.title.empty()) {
            view.title = text_property(x, children[i], XA_WM_NAME);
            view.icon_title = text_property(x, children[i], XA_WM_ICON_NAME);
        }
        XGetWindowAttributes(x, children[i], &window);
        if (window.map_state == IsViewable && window.x == 0 && window.y == 0 &&
            window.width == screen.width && window.height == screen.height) {
            view.covers_screen = true;
            view.override_redirect = view.override_redirect || window.override_redirect;
        }
    }
    view.full_screen_asked = full_screen_asked;
    if (children != nullptr)
        XFree(children);
    XWarpPointer(x, None, root, 0, 0, 0, 0, screen.width / 2, screen.height / 2);
    XSync(x, False);
    view.cursor_hidden = cursor_transparent(x);
    XCloseDisplay(x);
    return view;
}

// Whether the process has SDL 2 mapped: the SDL 1.2 compatibility layer
// loads it, the classic SDL 1.2 never does. Asked of the running program,
// since which SDL 1.2 it finds is up to the system's library path.
static bool runs_over_sdl2(pid_t pid)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    for (std::string line; std::getline(maps, line);) {
        if (line.find("/libSDL2-2.0.so") != std::string::npos)
            return true;
    }
    return false;
}

void xvfb_test::expect_full_screen_window(const std::string &caption)
{
    window_view view = view_windows();
    bool over_sdl2 = runs_over_sdl2(program.pid);
    SCOPED_TRACE(over_sdl2 ? "SDL 1.2 compatibility layer over SDL 2" : "classic SDL 1.2");
    EXPECT_EQ(view.title, caption);
    EXPECT_EQ(view.icon_title, over_sdl2 ? "" : caption);
    EXPECT_TRUE(view.covers_screen);
    EXPECT_EQ(view.override_redirect, !over_sdl2);
    EXPECT_EQ(view.full_screen_asked, over_sdl2);
    EXPECT_TRUE(view.cursor_hidden);
}

static bool asks_for_delete(Display *x, Window w, Atom delete_atom)
{
    Atom *protocols = nullptr;
    int count = 0;
    bool found = false;
    if (XGetWMProtocols(x, w, &protocols, &count)) {
        for (int i = 0; i < count; i++)
            found = found || protocols[i] == delete_atom;
        XFree(protocols);
    }
    return found;
}

int xvfb_test::request_window_close()
{
    Display *x = XOpenDisplay(display_name.c_str());
    if (x == nullptr)
        return 0;
    Atom protocols_atom = XInternAtom(x, "WM_PROTOCOLS", False);
    Atom delete_atom = XInternAtom(x, "WM_DELETE_WINDOW", False);
    Window root_return, parent, *children = nullptr;
    unsigned count = 0;
    int sent = 0;
    XQueryTree(x, DefaultRootWindow(x), &root_return, &parent, &children, &count);
    for (unsigned i = 0; i < count; i++) {
        if (!asks_for_delete(x, children[i], delete_atom))
            continue;
        XEvent event;
        memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = children[i];
        event.xclient.message_type = protocols_atom;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(delete_atom);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, children[i], False, NoEventMask, &event);
        sent++;
    }
    if (children != nullptr)
        XFree(children);
    XFlush(x);
    XCloseDisplay(x);
    return sent;
}

void xvfb_test::kill_server()
{
    close_observer();
    stop_process(server, SIGKILL);
    server = -1;
}

program_run run_without_display(const std::string &path, const std::vector<std::string> &env,
                                double seconds, double *elapsed)
{
    program_run run;
    run.out_fd = temporary_output();
    run.err_fd = temporary_output();
    auto start = std::chrono::steady_clock::now();
    run.pid = spawn(path, env, run.out_fd, run.err_fd);
    if (!wait_for(run, seconds))
        stop_process(run.pid, SIGKILL);
    *elapsed = seconds_since(start);
    close(run.out_fd);
    close(run.err_fd);
    return run;
}

bool ended_with_status(const program_run &run, int code)
{
    return run.status != -1 && WIFEXITED(run.status) && WEXITSTATUS(run.status) == code;
}

pixel_box lit_box(const screenshot &shot)
{
    pixel_box box = {shot.width, -1, shot.height, -1};
    for (int y = 0; y < shot.height; y++) {
        for (int x = 0; x < shot.width; x++) {
            if (shot.at(x, y) != 0)
                box = {std::min(box.xmin, x), std::max(box.xmax, x), std::min(box.ymin, y),
                       std::max(box.ymax, y)};
        }
    }
    return box;
}
