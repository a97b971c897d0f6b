// The program as a user starts it, measured from outside: from starting build/bin/zelplus to
// the first paint of its filled main window, on a data file of 1,000 bodies of water with 100
// tests each (101,000 records), on the X server in DISPLAY (run it under xvfb-run). The window
// fills its lists before it is shown, so its first paint shows them filled.
//
// The program and its files are copied into a folder of the benchmark's own with its own data
// folder and configuration, so no data beside build/bin/zelplus is touched. The first paint is
// the first change to the window's contents (reported by the X server's DAMAGE extension) after
// which its pixels are not all of one colour; each start ends with SIGTERM, as a user's logout
// would end it.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" ProcessStartupBench [--program=FOLDER]
//            [--snapshot=FILE.ppm] [Google Benchmark flags]
// The first start names the window it timed on the error output (and with --snapshot keeps
// its picture at that moment).
#include "app/BrinovaAPI.h"
#include "bench/StartupData.h"
#include "storage/Storage.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// ---- the X server's DAMAGE extension, loaded at run time (its headers are not installed) ---

using DamageHandle = XID;
constexpr int kDamageReportNonEmpty = 3;
constexpr int kDamageNotify = 0;

struct DamageExtension {
    Bool (*queryExtension)(Display*, int*, int*) = nullptr;
    Status (*queryVersion)(Display*, int*, int*) = nullptr;
    DamageHandle (*create)(Display*, Drawable, int) = nullptr;
    void (*subtract)(Display*, DamageHandle, XID, XID) = nullptr;
    int eventBase = 0;

    bool Load(Display* display) {
        void* library = ::dlopen("libXdamage.so.1", RTLD_NOW);
        if (library == nullptr) return false;
        queryExtension =
            reinterpret_cast<decltype(queryExtension)>(::dlsym(library, "XDamageQueryExtension"));
        queryVersion = reinterpret_cast<decltype(queryVersion)>(::dlsym(library, "XDamageQueryVersion"));
        create = reinterpret_cast<decltype(create)>(::dlsym(library, "XDamageCreate"));
        subtract = reinterpret_cast<decltype(subtract)>(::dlsym(library, "XDamageSubtract"));
        int errorBase = 0, major = 1, minor = 1;
        return queryExtension && queryVersion && create && subtract &&
               queryExtension(display, &eventBase, &errorBase) && queryVersion(display, &major, &minor);
    }
};

// ---- the program's folder ------------------------------------------------------------------

std::string& ProgramSource() {
    static std::string folder;
    return folder;
}

struct ProgramCopy {
    std::string folder;
    std::string program;
    std::string configHome;
};

// The program, its libraries, picture and help in a folder of their own, with the data file.
ProgramCopy CopyProgram() {
    ProgramCopy copy;
    copy.folder = MakeBenchFolder("zel-process-startup");
    const fs::path source = ProgramSource();
    for (const char* name : {"zelplus", "libqformula.so", "libzelreslt.so", "bg.bmp"})
        fs::copy(source / name, fs::path(copy.folder) / name, fs::copy_options::overwrite_existing);
    if (fs::exists(source / "help"))
        fs::copy(source / "help", fs::path(copy.folder) / "help", fs::copy_options::recursive);
    copy.program = copy.folder + "/zelplus";
    copy.configHome = copy.folder + "/config";
    fs::create_directories(copy.configHome);
    SetProgramFolder(copy.folder + "/");
    if (FbStartEngine(0, 8) <= 0) std::abort();
    MakeStartupDataFile();
    FbStopEngine();
    return copy;
}

// Made at the first start, removed at the end of the run.
std::string& MadeFolder() {
    static std::string folder;
    return folder;
}
const ProgramCopy& Program() {
    static const ProgramCopy copy = CopyProgram();
    MadeFolder() = copy.folder;
    return copy;
}

// ---- one start ---------------------------------------------------------------------------

// True when the window's middle row and middle column are not all one colour: something was
// drawn (a window the server only cleared is one colour).
bool ShowsContent(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    const int w = attributes.width, h = attributes.height;
    if (w < 2 || h < 2) return false;
    auto varies = [&](int x, int y, unsigned width, unsigned height) {
        XImage* image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
        if (image == nullptr) return false;
        const unsigned long first = XGetPixel(image, 0, 0);
        bool different = false;
        for (unsigned j = 0; j < height && !different; ++j)
            for (unsigned i = 0; i < width && !different; ++i)
                different = XGetPixel(image, static_cast<int>(i), static_cast<int>(j)) != first;
        XDestroyImage(image);
        return different;
    };
    return varies(0, h / 2, static_cast<unsigned>(w), 1) || varies(w / 2, 0, 1, static_cast<unsigned>(h));
}

std::string& SnapshotFile() {
    static std::string file;
    return file;
}

// The painted window as a PPM picture and its title on the error output, to see what was timed.
void Snapshot(Display* display, Window window) {
    char* title = nullptr;
    XFetchName(display, window, &title);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    std::fprintf(stderr, "first painted: \"%s\", %d x %d\n", title ? title : "", attributes.width,
                 attributes.height);
    if (title) XFree(title);
    if (SnapshotFile().empty()) return;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    std::FILE* out = std::fopen(SnapshotFile().c_str(), "wb");
    if (image == nullptr || out == nullptr) std::abort();
    std::fprintf(out, "P6\n%d %d\n255\n", attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                          static_cast<unsigned char>(pixel >> 8),
                                          static_cast<unsigned char>(pixel)};
            std::fwrite(rgb, 1, 3, out);
        }
    std::fclose(out);
    XDestroyImage(image);
}

bool NextEvent(Display* display, XEvent& event, Clock::time_point deadline) {
    while (XPending(display) == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left));
    }
    XNextEvent(display, &event);
    return true;
}

pid_t Start(const ProgramCopy& copy) {
    std::vector<std::string> settings = {"XDG_CONFIG_HOME=" + copy.configHome, "QT_QPA_PLATFORM=xcb"};
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
            settings.emplace_back(*e);
    std::vector<char*> environment;
    for (std::string& s : settings)
        environment.push_back(s.data());
    environment.push_back(nullptr);
    std::string program = copy.program;
    char* arguments[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

// Waits for the first paint of a top-level window: windows get a damage report from their
// creation on, so no paint is missed between the map and the report's setting up.
bool WaitForFirstPaint(Display* display, const DamageExtension& damage, Clock::time_point& painted) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    const Window root = DefaultRootWindow(display);
    std::set<Window> mapped;
    XEvent event{};
    while (NextEvent(display, event, deadline)) {
        if (event.type == CreateNotify && event.xcreatewindow.parent == root &&
            !event.xcreatewindow.override_redirect) {
            damage.create(display, event.xcreatewindow.window, kDamageReportNonEmpty);
        } else if (event.type == MapNotify && event.xmap.event == root) {
            mapped.insert(event.xmap.window);
        } else if (event.type == damage.eventBase + kDamageNotify) {
            const auto at = Clock::now();
            // The damage notice's drawable is where XAnyEvent has its window.
            const Window window = event.xany.window;
            const XID damageHandle = reinterpret_cast<const XID*>(&event.xany.window)[1];
            damage.subtract(display, damageHandle, None, None);
            if (mapped.count(window) != 0 && ShowsContent(display, window)) {
                painted = at;
                static bool shown = false;
                if (!shown) Snapshot(display, window);
                shown = true;
                return true;
            }
        }
    }
    return false;
}

void Stop(pid_t pid, rusage& usage) {
    ::kill(pid, SIGTERM);
    int status = 0;
    ::wait4(pid, &status, 0, &usage);
}

void BM_ProcessStartToFirstPaint(benchmark::State& state) {
    const ProgramCopy& copy = Program();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        state.SkipWithError("no X display: run under xvfb-run");
        return;
    }
    DamageExtension damage;
    if (!damage.Load(display)) {
        state.SkipWithError("the X server offers no DAMAGE extension");
        XCloseDisplay(display);
        return;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    double cpuSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const pid_t pid = Start(copy);
        if (pid < 0) {
            state.SkipWithError("the program could not be started");
            break;
        }
        Clock::time_point painted;
        const bool ok = WaitForFirstPaint(display, damage, painted);
        rusage usage{};
        Stop(pid, usage);
        if (!ok) {
            state.SkipWithError("no window was painted within 30 s");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
        cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        // The ended program's windows leave their notices behind.
        XSync(display, True);
    }
    // The program's CPU time per start, its end included.
    state.counters["cpu_ms_per_run"] =
        benchmark::Counter(cpuSeconds * 1000, benchmark::Counter::kAvgIterations);
    XCloseDisplay(display);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    std::string program = (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin").string();
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--program=", 10) == 0)
            program = argv[i] + 10;
        else if (std::strncmp(argv[i], "--snapshot=", 11) == 0)
            SnapshotFile() = argv[i] + 11;
        else
            rest.push_back(argv[i]);
    }
    ProgramSource() = program;
    benchmark::RegisterBenchmark("ProcessStartToFirstPaint", BM_ProcessStartToFirstPaint)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(21)
        ->ReportAggregatesOnly(false);
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    if (!MadeFolder().empty()) fs::remove_all(MadeFolder(), ignored);
    return 0;
}
