// Starts the real editor binary on the test's X display and closes it the way
// a window manager's close button does.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "TesselImages.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

std::string windowTitle (Display* display, Window window)
{
    // JUCE writes WM_NAME as UTF8_STRING, which XFetchName doesn't read.
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;

    if (XGetWindowProperty (display, window, XA_WM_NAME, 0, 256, False, AnyPropertyType,
                            &type, &format, &count, &after, &data) == Success && data != nullptr)
    {
        if (format == 8)
            title.assign ((const char*) data, count);
        XFree (data);
    }
    return title;
}

long windowPid (Display* display, Window window)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long pid = -1;

    const Atom pidAtom = XInternAtom (display, "_NET_WM_PID", False);
    if (XGetWindowProperty (display, window, pidAtom, 0, 1, False, XA_CARDINAL,
                            &type, &format, &count, &after, &data) == Success && data != nullptr)
    {
        if (count == 1 && format == 32)
            pid = *(const long*) data;
        XFree (data);
    }
    return pid;
}

// _NET_WM_ICON: width, height, then one ARGB pixel per long, row by row.
// Xlib hands 32-bit items over as signed longs, so a pixel's alpha may come
// back sign-extended: only the low 32 bits count.
std::vector<unsigned long> windowIcon (Display* display, Window window)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::vector<unsigned long> icon;

    const Atom iconAtom = XInternAtom (display, "_NET_WM_ICON", False);
    if (XGetWindowProperty (display, window, iconAtom, 0, 1 << 20, False, XA_CARDINAL,
                            &type, &format, &count, &after, &data) == Success && data != nullptr)
    {
        if (format == 32)
            icon.assign ((const unsigned long*) data, (const unsigned long*) data + count);
        XFree (data);
    }
    return icon;
}

// Other tests may have windows of the same title on this display, so the
// editor's window is told apart by its process.
Window findViewableWindow (Display* display, Window parent, const std::string& title, pid_t pid)
{
    Window root, parentOut, *children = nullptr;
    unsigned count = 0;
    if (! XQueryTree (display, parent, &root, &parentOut, &children, &count))
        return 0;

    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i)
    {
        XWindowAttributes attributes;
        if (windowTitle (display, children[i]) == title
            && windowPid (display, children[i]) == (long) pid
            && XGetWindowAttributes (display, children[i], &attributes)
            && attributes.map_state == IsViewable)
            found = children[i];
        else
            found = findViewableWindow (display, children[i], title, pid);
    }

    if (children != nullptr)
        XFree (children);
    return found;
}

bool waitFor (const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (! condition())
    {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }
    return true;
}

/** A child process that is killed if the test leaves early. */
struct EditorProcess
{
    explicit EditorProcess (const char* path, const std::string& logPath)
    {
        pid = fork();
        if (pid == 0)
        {
            const int log = open (logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0)
            {
                dup2 (log, 1);
                dup2 (log, 2);
            }
            execl (path, path, (char*) nullptr);
            _exit (127);
        }
    }

    ~EditorProcess()
    {
        if (pid > 0 && ! exited)
        {
            kill (pid, SIGKILL);
            waitpid (pid, nullptr, 0);
        }
    }

    bool poll()
    {
        if (exited)
            return true;
        if (waitpid (pid, &status, WNOHANG) == pid)
            exited = true;
        return exited;
    }

    pid_t pid = -1;
    int status = 0;
    bool exited = false;
};
} // namespace

TEST (EditorProcess, StartsWithItsWindowAndQuitsCleanlyWhenTheWindowIsClosed)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs an X display (the test scripts start Xvfb)";

    Display* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr);

    // Windows of other tests come and go while this one walks the tree; a
    // query on one that has just gone must not end the process.
    const auto previousHandler = XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });

    // A bare X server has no window manager, so these atoms may not exist
    // yet; the editor only looks them up, so create them before it starts.
    const Atom wmProtocols = XInternAtom (display, "WM_PROTOCOLS", False);
    const Atom wmDelete = XInternAtom (display, "WM_DELETE_WINDOW", False);
    XSync (display, False);

    const std::string log = std::string (testing::TempDir()) + "tessel-editor-process.log";
    EditorProcess editor (TESSEL_EDITOR_BINARY, log);
    ASSERT_GT (editor.pid, 0);

    Window window = 0;
    const bool appeared = waitFor ([&]
    {
        if (editor.poll())
            return true;
        window = findViewableWindow (display, DefaultRootWindow (display), "Tessel Editor", editor.pid);
        return window != 0;
    }, std::chrono::seconds (30));

    ASSERT_TRUE (appeared && window != 0) << "no editor window; see " << log;

    // The window may be mapped before its content has sized it; give it a moment.
    XWindowAttributes attributes {};
    waitFor ([&]
    {
        return XGetWindowAttributes (display, window, &attributes)
               && attributes.width == 780 && attributes.height == 408;
    }, std::chrono::seconds (10));
    EXPECT_EQ (attributes.width, 780);
    EXPECT_EQ (attributes.height, 408);

    // The title bar and the taskbar show the icon the desktop menu shows.
    const auto icon = windowIcon (display, window);
    const auto expected = juce::ImageCache::getFromMemory (TesselImages::app_icon_128_png,
                                                           TesselImages::app_icon_128_pngSize);
    ASSERT_EQ (icon.size(), 2u + 128u * 128u);
    EXPECT_EQ (icon[0], 128u);
    EXPECT_EQ (icon[1], 128u);
    int differing = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            differing += (juce::uint32) icon[2 + (size_t) (y * 128 + x)] != expected.getPixelAt (x, y).getARGB() ? 1 : 0;
    EXPECT_EQ (differing, 0);

    // Let the editor settle its message loop before asking it to close.
    std::this_thread::sleep_for (std::chrono::milliseconds (300));

    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long) wmDelete;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent (display, window, False, NoEventMask, &event);
    XFlush (display);

    const auto askedAt = Clock::now();
    const bool quit = waitFor ([&] { return editor.poll(); }, std::chrono::seconds (10));
    const auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds> (Clock::now() - askedAt).count();

    ASSERT_TRUE (quit) << "the editor did not quit after the close request; see " << log;
    EXPECT_TRUE (WIFEXITED (editor.status)) << "the editor did not exit normally";
    EXPECT_EQ (WEXITSTATUS (editor.status), 0);
    RecordProperty ("close_to_exit_ms", (int) tookMs);

    XCloseDisplay (display);
    XSetErrorHandler (previousHandler);
}
