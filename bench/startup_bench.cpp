// Start-up time and resident memory of the bus against the plainest Qt program that shows as
// much (a window of the bus's size beside a small window of Japanese text), measured side by
// side in one run on the X display in $DISPLAY (a window manager running).
//
//   startup_bench BUS_EXE BARE_EXE [RUNS]
//
// Time runs from fork to the moment the window's pixels show what the program paints: for the
// bus the sign box's black border and the signboard's white face, for the bare window its fill.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Probe {
    int x, y;
    unsigned long rgb;
};

struct Target {
    const char* label;
    std::string exe;
    std::string argument; // passed when not empty
    std::string className;
    std::vector<Probe> probes;
};

struct Sample {
    double ms;
    long rssKiB;
};

std::vector<Window> clientList(Display* dpy)
{
    Atom prop = XInternAtom(dpy, "_NET_CLIENT_LIST", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::vector<Window> out;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), prop, 0, 4096, False, XA_WINDOW, &type, &format, &count, &after, &data)
            == Success
        && data) {
        auto* w = reinterpret_cast<Window*>(data);
        out.assign(w, w + count);
        XFree(data);
    }
    return out;
}

Window findWindow(Display* dpy, const std::string& className)
{
    for (Window w : clientList(dpy)) {
        XClassHint hint {};
        if (!XGetClassHint(dpy, w, &hint))
            continue;
        const bool match = hint.res_name && className == hint.res_name;
        XFree(hint.res_name);
        XFree(hint.res_class);
        XWindowAttributes attrs;
        if (match && XGetWindowAttributes(dpy, w, &attrs) && attrs.width == 807 && attrs.height == 225
            && attrs.map_state == IsViewable)
            return w;
    }
    return 0;
}

bool painted(Display* dpy, Window w, const std::vector<Probe>& probes)
{
    for (const Probe& p : probes) {
        XImage* img = XGetImage(dpy, w, p.x, p.y, 1, 1, AllPlanes, ZPixmap);
        if (!img)
            return false;
        const unsigned long px = XGetPixel(img, 0, 0) & 0xFFFFFF;
        XDestroyImage(img);
        if (px != p.rgb)
            return false;
    }
    return true;
}

long rssKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

Sample measure(Display* dpy, const Target& t)
{
    if (findWindow(dpy, t.className)) {
        std::fprintf(stderr, "%s: a window of this program is already on the display\n", t.label);
        std::exit(2);
    }
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (t.argument.empty())
            execl(t.exe.c_str(), t.exe.c_str(), static_cast<char*>(nullptr));
        else
            execl(t.exe.c_str(), t.exe.c_str(), t.argument.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Sample s { -1, -1 };
    const auto deadline = start + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        Window w = findWindow(dpy, t.className);
        if (w && painted(dpy, w, t.probes)) {
            s.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    s.rssKiB = rssKiB(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return s;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double best(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BUS_EXE BARE_EXE [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 9;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);

    const std::string busExe = argv[1];
    const std::string busName = busExe.substr(busExe.find_last_of('/') + 1);
    const Target bus { "bus", busExe, {}, busName, { { 499, 41, 0x000000 }, { 259, 136, 0xFFFFFF } } };
    const Target bare { "bare", argv[2], {}, "bare_window", { { 400, 100, 0x0AC81E } } };
    // The baseline: the bare window beside a small window of Japanese text.
    const Target bareText { "bare + text window", argv[2], "--text-window", "bare_window", { { 400, 100, 0x0AC81E } } };

    struct Series {
        const Target& target;
        std::vector<double> ms, rss;
    };
    Series series[] = { { bus, {}, {} }, { bare, {}, {} }, { bareText, {}, {} } };
    for (const Series& s : series)
        measure(dpy, s.target); // warm the file cache for all
    for (int i = 0; i < runs; ++i) {
        // Alternate, so that a busy moment of the machine hurts all alike.
        for (Series& s : series) {
            const Sample sample = measure(dpy, s.target);
            if (sample.ms < 0) {
                std::fprintf(stderr, "%s: window never painted\n", s.target.label);
                return 1;
            }
            s.ms.push_back(sample.ms);
            s.rss.push_back(double(sample.rssKiB));
        }
    }
    // The one-colour window alone is shown too, for what a Qt window costs at all.
    const Series& b = series[0];
    const Series& plain = series[1];
    const Series& a = series[2];
    const double bm = median(b.ms), am = median(a.ms), br = median(b.rss), ar = median(a.rss);
    std::printf("baseline     a bare 807 x 225 window beside a 263 x 171 window of Japanese text\n");
    std::printf("startup_ms   bus %.1f  baseline %.1f  ratio %.2f  (target <= 1.30)\n", bm, am, bm / am);
    // The quickest run of each shows what is left when nothing else on the machine got in the way.
    std::printf("startup_ms   quickest: bus %.1f  baseline %.1f  ratio %.2f\n", best(b.ms), best(a.ms), best(b.ms) / best(a.ms));
    std::printf("rss_kib      bus %.0f  baseline %.0f  ratio %.2f  (target <= 1.20)\n", br, ar, br / ar);
    const double pm = median(plain.ms), pr = median(plain.rss);
    std::printf("reference    the bare window alone: startup %.1f ms (bus ratio %.2f), rss %.0f KiB (bus ratio %.2f)\n",
        pm, bm / pm, pr, br / pr);
    XCloseDisplay(dpy);
    return 0;
}
