#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "TesselImages.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
/** What a command prints, trimmed. */
std::string outputOf (const std::string& command)
{
    juce::ChildProcess shell;
    return shell.start (juce::StringArray { "sh", "-c", command })
        ? shell.readAllProcessOutput().trimEnd().toStdString()
        : "";
}
} // namespace

// The real editor binary on the test's X display, closed the way a window manager's close button does.
TEST (EditorProcess, StartsWithItsWindowAndQuitsCleanlyWhenTheWindowIsClosed)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs an X display (the test scripts start Xvfb)";

    // The plain and the sanitized copy of this test run side by side under
    // ctest: one editor at a time on the display, or a close request sent to
    // one of them may go unheard.
    struct DisplayTurn
    {
        int fd =
            open ((std::string (testing::TempDir()) + "tessel-editor-process.lock").c_str(), O_CREAT | O_RDWR, 0600);
        ~DisplayTurn() { close (fd); } // closing lets the other copy have its turn
    } turn;
    ASSERT_GE (turn.fd, 0);
    ASSERT_EQ (flock (turn.fd, LOCK_EX), 0);

    Display* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr);

    // A bare X server has no window manager to make these atoms, which the editor only looks up.
    const Atom wmProtocols = XInternAtom (display, "WM_PROTOCOLS", False);
    const Atom wmDelete = XInternAtom (display, "WM_DELETE_WINDOW", False);
    XSync (display, False);

    const std::string log = std::string (testing::TempDir()) + "tessel-editor-process.log";
    const auto command =
        "exec '" + std::string (TESSEL_EDITOR_BINARY) + "' >'" + log + "' 2>&1"; // exec: the editor keeps the pid
    const pid_t pid = fork();
    if (pid == 0)
        _exit (execl ("/bin/sh", "sh", "-c", command.c_str(), (char*) nullptr));
    ASSERT_GT (pid, 0);

    // Other tests' windows of the same title are told apart by the process; xdotool,
    // which gives up when a window goes away while it searches, is asked again.
    const auto window =
        std::strtoul (outputOf ("for i in $(seq 300); do xdotool search --onlyvisible --pid " + std::to_string (pid)
                                + " --name '^Tessel Editor$' 2>/dev/null && break; sleep 0.1; done | head -n 1")
                          .c_str(),
                      nullptr, 10);
    const auto killEditor = [pid]
    {
        kill (pid, SIGKILL);
        waitpid (pid, nullptr, 0);
    };
    if (window == 0)
        killEditor();
    ASSERT_NE (window, 0u) << "no editor window; see " << log;

    // The window may be mapped before its content has sized it; a close request before then may go unheard.
    std::string size;
    for (int i = 0; i < 100 && size != "780 408"; ++i, std::this_thread::sleep_for (std::chrono::milliseconds (100)))
        size = outputOf ("xdotool getwindowgeometry --shell " + std::to_string (window)
                         + " 2>/dev/null | sed -n 's/^WIDTH=//p;s/^HEIGHT=//p' | paste -sd ' '");
    EXPECT_EQ (size, "780 408");

    // Title bar and taskbar show the desktop menu's icon: width, height, then one ARGB pixel each, row by row.
    const auto icon = juce::StringArray::fromTokens (
        juce::String (outputOf ("xprop -id " + std::to_string (window) + " -notype 32c _NET_WM_ICON"))
            .fromFirstOccurrenceOf ("=", false, false),
        ",", {});
    const auto expected =
        juce::ImageCache::getFromMemory (TesselImages::app_icon_128_png, TesselImages::app_icon_128_pngSize);
    ASSERT_EQ (icon.size(), 2 + 128 * 128);
    EXPECT_EQ (icon[0].trim() + " " + icon[1].trim(), "128 128");
    int differing = 0;
    for (int i = 0; i < 128 * 128; ++i)
        differing +=
            (juce::uint32) icon[2 + i].trim().getLargeIntValue() != expected.getPixelAt (i % 128, i / 128).getARGB()
            ? 1
            : 0;
    EXPECT_EQ (differing, 0);

    // Let the editor settle its message loop before asking it to close.
    std::this_thread::sleep_for (std::chrono::milliseconds (300));

    XEvent event {};
    event.xclient = { ClientMessage, 0, False, display, window, wmProtocols, 32, {} };
    event.xclient.data.l[0] = (long) wmDelete; // l[1], the time, stays CurrentTime
    XSendEvent (display, window, False, NoEventMask, &event);
    XFlush (display);

    int status = 0;
    bool exited = false;
    for (int i = 0; i < 200 && ! exited; ++i, std::this_thread::sleep_for (std::chrono::milliseconds (50)))
        exited = waitpid (pid, &status, WNOHANG) == pid;
    if (! exited)
        killEditor();
    EXPECT_TRUE (exited && WIFEXITED (status) && WEXITSTATUS (status) == 0)
        << "the editor did not quit normally after the close request; see " << log;
    XCloseDisplay (display);
}
