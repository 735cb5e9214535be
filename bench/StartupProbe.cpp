// Measures how long a windowed program takes from its start to its first frame on the screen,
// and how much memory it holds once started. It watches the X server from outside, so the
// program measured runs unchanged:
//
//   probe_startup [--settle-ms N] [--timeout-ms N] -- program [arguments...]
//
// Every top-level window created after the probe starts gets a damage monitor; the first
// damage report on one of them is the first frame the program drew into a window. After the
// settle time the program's resident set is read from /proc and the program is stopped.
// Prints one line: "startup_ms=<milliseconds> rss_kb=<kilobytes> cpu_ms=<milliseconds>", the
// last the CPU time the program had used by its first frame. Needs an X server (Xvfb)
// with the DAMAGE extension.

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int settleMs = 1000;
    int timeoutMs = 20000;
    std::vector<char*> command; // null-terminated for execvp
};

bool parse(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) {
            return false;
        }
        if (arg == "--settle-ms") {
            options.settleMs = std::atoi(argv[++i]);
        } else if (arg == "--timeout-ms") {
            options.timeoutMs = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    for (; i < argc; ++i) {
        options.command.push_back(argv[i]);
    }
    options.command.push_back(nullptr);
    return options.command.size() > 1;
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// CPU time the process has used so far, in milliseconds (the scheduler's own count, in
// nanoseconds). Less sensitive to a busy machine than the wall time, which also counts the time
// the process waited for a core.
double cpuMs(pid_t pid) {
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long onCpuNs = 0;
    if (!(schedstat >> onCpuNs)) {
        return -1;
    }
    return static_cast<double>(onCpuNs) / 1e6;
}

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Waits for the first damage report on a window created under the root; false on timeout or
// when the program ends first.
bool waitForFirstFrame(Display* display, int damageEvent, pid_t pid, int timeoutMs) {
    const Window root = DefaultRootWindow(display);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    while (Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
                XFlush(display);
            } else if (event.type == damageEvent + XDamageNotify) {
                return true;
            }
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return false;
        }
        poll(&fd, 1, 5);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--settle-ms N] [--timeout-ms N] -- program [args...]\n",
                     argv[0]);
        return 2;
    }
    // A server busy tearing down the last run's client may turn one connection away.
    Display* display = nullptr;
    for (int attempt = 0; attempt < 50 && display == nullptr; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (display == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (display == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "the X server lacks the DAMAGE extension\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(options.command[0], options.command.data());
        std::perror("exec");
        _exit(127);
    }
    if (pid < 0) {
        std::perror("fork");
        return 1;
    }
    const bool shown = waitForFirstFrame(display, damageEvent, pid, options.timeoutMs);
    const auto shownAt = Clock::now();
    const double cpu = cpuMs(pid);
    if (!shown) {
        std::fprintf(stderr, "no frame from %s\n", options.command[0]);
        stop(pid);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(options.settleMs));
    const long rss = residentKb(pid);
    stop(pid);
    XCloseDisplay(display);
    const double ms = std::chrono::duration<double, std::milli>(shownAt - start).count();
    std::printf("startup_ms=%.1f rss_kb=%ld cpu_ms=%.1f\n", ms, rss, cpu);
    return 0;
}
