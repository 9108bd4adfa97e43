// Starts the real editor binary on the test's X display and closes it the way
// a window manager's close button does.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
/** A window property as bytes, or empty. */
std::string propertyOf (Display* display, Window window, Atom property, Atom type)
{
    Atom actualType;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty (display, window, property, 0, 256, False, type, &actualType, &format, &count, &after, &data)
            == Success && data != nullptr)
    {
        value.assign ((const char*) data, format == 32 ? count * sizeof (long) : count);
        XFree (data);
    }
    return value;
}

/** The editor's window, told apart from other tests' windows by its process. */
Window findEditorWindow (Display* display, Window parent, pid_t pid)
{
    Window root, parentOut, *children = nullptr;
    unsigned count = 0;
    if (! XQueryTree (display, parent, &root, &parentOut, &children, &count))
        return 0;

    const auto pidAtom = XInternAtom (display, "_NET_WM_PID", False);
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i)
    {
        // JUCE writes WM_NAME as UTF8_STRING, which XFetchName doesn't read.
        const auto pidBytes = propertyOf (display, children[i], pidAtom, XA_CARDINAL);
        XWindowAttributes attributes;
        if (propertyOf (display, children[i], XA_WM_NAME, AnyPropertyType) == "Tessel Editor"
            && pidBytes.size() == sizeof (long) && *(const long*) pidBytes.data() == (long) pid
            && XGetWindowAttributes (display, children[i], &attributes) && attributes.map_state == IsViewable)
            found = children[i];
        else
            found = findEditorWindow (display, children[i], pid);
    }

    if (children != nullptr)
        XFree (children);
    return found;
}

bool waitFor (const std::function<bool()>& condition, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (! condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }
    return true;
}
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
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int out = open (log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2 (out, 1);
        dup2 (out, 2);
        execl (TESSEL_EDITOR_BINARY, TESSEL_EDITOR_BINARY, (char*) nullptr);
        _exit (127);
    }
    ASSERT_GT (pid, 0);

    int status = 0;
    bool exited = false;
    const auto hasExited = [&] { return exited || (exited = waitpid (pid, &status, WNOHANG) == pid); };

    Window window = 0;
    waitFor ([&] { return hasExited() || (window = findEditorWindow (display, DefaultRootWindow (display), pid)) != 0; },
             std::chrono::seconds (30));
    EXPECT_NE (window, 0u) << "no editor window; see " << log;

    // The window may be mapped before its content has sized it.
    XWindowAttributes attributes {};
    waitFor ([&] { return XGetWindowAttributes (display, window, &attributes) && attributes.width == 780; }, std::chrono::seconds (10));
    EXPECT_EQ (attributes.width, 780);
    EXPECT_EQ (attributes.height, 408);

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

    EXPECT_TRUE (waitFor (hasExited, std::chrono::seconds (10))) << "the editor did not quit after the close request; see " << log;
    if (! exited)
    {
        kill (pid, SIGKILL);
        waitpid (pid, nullptr, 0);
    }
    EXPECT_TRUE (exited && WIFEXITED (status) && WEXITSTATUS (status) == 0) << "the editor did not exit normally";

    XCloseDisplay (display);
    XSetErrorHandler (previousHandler);
}
