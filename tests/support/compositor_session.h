// A desktop's compositor for the end-to-end tests: weston or sway with their
// X11 back-end, drawing their one output into a window of an Xvfb server of
// ours (the monitor, whose screen is what a person would see), or mutter
// headless. The programs reach each through its Xwayland. The test starts
// and stops it, with everything it started.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

enum class compositor_kind { weston, sway, mutter };

struct output_setup {
    int width, height;  // the output's pixels
    int scale;          // 1, or 2 for a screen scaled to 200 % (sway only)
};

struct compositor_session {
    compositor_kind kind = compositor_kind::weston;
    output_setup output = {0, 0, 1};
    pid_t monitor = -1;           // the Xvfb server under weston or sway
    std::string monitor_display;  // its name, ":N"; empty under mutter
    pid_t leader = -1;            // the compositor, leading its own process group
    std::string runtime_dir;      // its private XDG_RUNTIME_DIR
    std::string xwayland_display, xauthority;
    std::string user;             // who runs it, when not the test's own user
    std::string skip_reason;      // why it does not run here; empty when it does
};

const char *compositor_name(compositor_kind kind);
// Starts the compositor and waits until its Xwayland answers; on failure,
// stops what it started and says why in skip_reason.
compositor_session start_compositor(compositor_kind kind, output_setup output);
void stop_compositor(compositor_session &session);
// The environment of a program started on the compositor's Xwayland.
std::vector<std::string> compositor_environment(const compositor_session &session);
// The current mode of Xwayland's output as xrandr reports it, e.g.
// "1920x1080"; empty if xrandr cannot tell.
std::string xwayland_mode(const compositor_session &session);
