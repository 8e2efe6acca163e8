#include "compositor_session.h"

#include "emulation.h"
#include "xvfb_session.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

constexpr double START_LIMIT = 60;  // seconds for a compositor and its Xwayland to come up

const char *compositor_name(compositor_kind kind)
{
    switch (kind) {
    case compositor_kind::weston:
        return "weston";
    case compositor_kind::sway:
        return "sway";
    case compositor_kind::mutter:
        return "mutter";
    }
    return "";
}

static void write_file(const std::string &path, const std::string &text, mode_t mode)
{
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
}

// Run by the compositor once it is up: writes where its Xwayland is, and
// lets the test's user in when the compositor runs as another one. Xwayland
// starts on the first client, so this waits for it.
static std::string report_script(const std::string &runtime_dir, const std::string &test_user,
                                 bool hold)
{
    std::string let_in = test_user.empty() ? "" : "xhost +si:localuser:" + test_user + " >/dev/null\n";
    return "#!/bin/sh\n" + let_in + "printf '%s\\n%s\\n' \"$DISPLAY\" \"$XAUTHORITY\" > '" +
           runtime_dir + "/where.new'\nmv '" + runtime_dir + "/where.new' '" + runtime_dir +
           "/where'\n" +
           // mutter ends when the command it started ends, so there the
           // script stays. Elsewhere it ends: sway runs it in a session of
           // its own, which stopping sway's process group does not reach.
           (hold ? "exec sleep 100000\n" : "");
}

static std::vector<std::string> compositor_command(const compositor_session &session)
{
    const std::string &dir = session.runtime_dir;
    const output_setup &out = session.output;
    std::string size = std::to_string(out.width) + "x" + std::to_string(out.height);
    switch (session.kind) {
    case compositor_kind::weston:
        // Weston's own desktop: its panel and its cursor, as a person has them.
        write_file(dir + "/weston.ini",
                   "[core]\nxwayland=true\n[autolaunch]\npath=" + dir + "/report\n", 0644);
        return {"weston", "--backend=x11-backend.so", "--use-pixman", "--xwayland",
                "--width=" + std::to_string(out.width), "--height=" + std::to_string(out.height),
                "--config=" + dir + "/weston.ini",
                "--socket=wayland-e2e"};
    case compositor_kind::sway:
        // The X11 back-end's output is its window: the mode sets its size.
        // A wallpaper of plain grey (swaybg's), the one sway 1.7 clears an
        // output to: later sways leave it black, which neither settles as a
        // picture nor tells the desktop from the black around a program's.
        write_file(dir + "/sway.conf",
                   "output * resolution " + size + " position 0 0 scale " +
                       std::to_string(out.scale) + " bg #3f3f3f solid_color\n" +
                       // Xwayland from the start, for the whole session: the
                       // lazy one of sway 1.10 ends 10 s after its last client,
                       // and one started again has forgotten xhost's grant.
                       "xwayland force\nexec " + dir + "/report\n",
                   0644);
        return {"sway", "-c", dir + "/sway.conf"};
    case compositor_kind::mutter:
        return {"dbus-run-session", "--", "mutter", "--headless", "--wayland",
                "--virtual-monitor", size, "--", dir + "/report"};
    }
    return {};
}

// sway will not run as root: there it runs as nobody, who owns nothing.
static const passwd *unprivileged_user(compositor_kind kind)
{
    return kind == compositor_kind::sway && geteuid() == 0 ? getpwnam("nobody") : nullptr;
}

static pid_t spawn_compositor(const compositor_session &session, const passwd *user)
{
    std::vector<std::string> words = compositor_command(session);
    if (user != nullptr) {
        words.insert(words.begin(), {"setpriv", "--reuid=" + std::to_string(user->pw_uid),
                                     "--regid=" + std::to_string(user->pw_gid), "--clear-groups"});
    }
    std::string log = session.runtime_dir + "/log";
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    // A group of its own, so that stopping it stops Xwayland and its helpers.
    setsid();
    int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log_fd, STDOUT_FILENO);
    dup2(log_fd, STDERR_FILENO);
    setenv("XDG_RUNTIME_DIR", session.runtime_dir.c_str(), 1);
    setenv("HOME", session.runtime_dir.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XAUTHORITY");
    if (session.monitor_display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", session.monitor_display.c_str(), 1);
    setenv("WLR_BACKENDS", "x11", 1);
    setenv("WLR_RENDERER", "pixman", 1);
    setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1);
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

static std::string log_tail(const std::string &runtime_dir)
{
    std::ifstream log(runtime_dir + "/log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    std::string tail;
    for (size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); i++)
        tail += "\n  " + lines[i];
    return tail;
}

// Waits for the report script's file; false if the compositor ends first.
static bool wait_for_xwayland(compositor_session &session)
{
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start <
           std::chrono::duration<double>(START_LIMIT * E2E_TIME_SCALE)) {
        std::ifstream where(session.runtime_dir + "/where");
        if (std::getline(where, session.xwayland_display) && !session.xwayland_display.empty()) {
            std::getline(where, session.xauthority);
            return true;
        }
        int status;
        if (waitpid(session.leader, &status, WNOHANG) == session.leader) {
            session.leader = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

compositor_session start_compositor(compositor_kind kind, output_setup output)
{
    compositor_session session;
    session.kind = kind;
    session.output = output;
    // Not under TMPDIR: a Wayland socket's path must stay short.
    char dir[] = "/tmp/e2e-desktop-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        session.skip_reason = "cannot make a runtime folder";
        return session;
    }
    session.runtime_dir = dir;
    const passwd *user = unprivileged_user(kind);
    const passwd *me = getpwuid(geteuid());
    if (user != nullptr) {
        session.user = user->pw_name;
        if (chown(dir, user->pw_uid, user->pw_gid) != 0) {
            session.skip_reason = "cannot hand the runtime folder to " + session.user;
            return session;
        }
    }
    write_file(session.runtime_dir + "/report",
               report_script(session.runtime_dir, user != nullptr && me ? me->pw_name : "",
                             kind == compositor_kind::mutter),
               0755);
    if (kind != compositor_kind::mutter) {
        int display = -1;
        std::string size = std::to_string(output.width) + "x" + std::to_string(output.height);
        session.monitor = start_xvfb(size, {}, &display);
        if (display < 0) {
            session.skip_reason = "the monitor's Xvfb did not start";
            return session;
        }
        session.monitor_display = ":" + std::to_string(display);
    }
    session.leader = spawn_compositor(session, user);
    if (!wait_for_xwayland(session)) {
        session.skip_reason = std::string(compositor_name(kind)) +
                              " did not start with Xwayland here" +
                              (user ? " (run as " + session.user + ")" : "") + "; its log ends:" +
                              log_tail(session.runtime_dir);
        stop_compositor(session);
    }
    return session;
}

void stop_compositor(compositor_session &session)
{
    if (session.leader > 0) {
        kill(-session.leader, SIGTERM);
        auto start = std::chrono::steady_clock::now();
        int status;
        while (waitpid(session.leader, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10))
                kill(-session.leader, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        // Whatever of the group outlived its leader.
        kill(-session.leader, SIGKILL);
        session.leader = -1;
    }
    stop_process(session.monitor, SIGTERM);
    session.monitor = -1;
    if (!session.runtime_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(session.runtime_dir, ignored);
        session.runtime_dir.clear();
    }
}

std::vector<std::string> compositor_environment(const compositor_session &session)
{
    std::vector<std::string> env = {"DISPLAY=" + session.xwayland_display, "WAYLAND_DISPLAY"};
    env.push_back(session.xauthority.empty() ? "XAUTHORITY" : "XAUTHORITY=" + session.xauthority);
    return env;
}

std::string xwayland_mode(const compositor_session &session)
{
    std::string authority = session.xauthority.empty()
                                ? "env -u XAUTHORITY"
                                : "XAUTHORITY='" + session.xauthority + "'";
    std::string command = authority + " DISPLAY='" + session.xwayland_display +
                          "' xrandr --current 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "";
    std::string mode;
    char line[512];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        std::string text = line;
        if (mode.empty() && text.find('*') != std::string::npos)
            mode = text.substr(text.find_first_not_of(' '),
                               text.find(' ', text.find_first_not_of(' ')) -
                                   text.find_first_not_of(' '));
    }
    pclose(pipe);
    return mode;
}
