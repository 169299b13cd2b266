// Launch to first window mapped, for the program and for a bare Qt window,
// in interleaved rounds under the same X display: the medians and their
// ratio. Needs DISPLAY (Xvfb will do); each process is killed once its
// window is mapped.
//
//   startup_bench [rounds]

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDefaultRounds = 15;
constexpr int kTimeoutSeconds = 20;

// Milliseconds from fork to the first top-level window the child maps; a
// negative number when none came.
double launchToMapped(Display *display, const char *program)
{
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True); // forget older events
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execl(program, program, static_cast<char *>(nullptr));
        _exit(127);
    }
    double elapsed = -1;
    const int fd = ConnectionNumber(display);
    while (std::chrono::duration<double>(Clock::now() - start).count() < kTimeoutSeconds) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && elapsed < 0)
                elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        if (elapsed >= 0)
            break;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval wait{0, 1000};
        select(fd + 1, &set, nullptr, nullptr, &wait);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XSelectInput(display, root, NoEventMask);
    XSync(display, True);
    return elapsed;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "startup_bench: no X display (set DISPLAY, e.g. under Xvfb)\n");
        return 2;
    }
    const char *programs[] = {QUOR_PROGRAM, BARE_WINDOW_PROGRAM};
    std::vector<double> times[2];
    // One launch of each first, unmeasured: the files come into the cache.
    for (const char *p : programs)
        launchToMapped(display, p);
    for (int r = 0; r < rounds; ++r) {
        // Alternate which goes first, so neither always follows the other.
        for (int k = 0; k < 2; ++k) {
            const int i = (r + k) % 2;
            const double t = launchToMapped(display, programs[i]);
            if (t < 0) {
                std::fprintf(stderr, "startup_bench: %s mapped no window\n", programs[i]);
                return 1;
            }
            times[i].push_back(t);
        }
    }
    const double quor = median(times[0]);
    const double bare = median(times[1]);
    std::printf("launch to window mapped, median of %d interleaved rounds\n", rounds);
    std::printf("  quor         %8.1f ms\n", quor);
    std::printf("  bare window  %8.1f ms\n", bare);
    std::printf("  ratio        %8.2f\n", quor / bare);
    XCloseDisplay(display);
    return 0;
}
