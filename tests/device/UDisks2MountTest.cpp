#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <optional>

#include <gio/gio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "cab/KVCABView.h"
#include "cab/CopyWavThread.h"
#include "device/PedalVolumeWatcher.h"
#include "device/platform/LinuxDiskSession.h"
#include "device/platform/UDisks2Mounter.h"
#include "support/EditorHarness.h"
#include "support/SimulatedCabVolume.h"

using namespace tessel::test;

namespace
{
constexpr const char* busVariable = "DBUS_SYSTEM_BUS_ADDRESS";

/** A private D-Bus bus that stands in for the system bus of this process
    while it lives, with python3-dbusmock serving udisks2 on it from
    tests/support/udisks2_template.py (unless `devicesJson` is empty: then
    nothing serves udisks2). Both processes end with it. */
class FakeUDisks2
{
public:
    explicit FakeUDisks2 (const juce::String& devicesJson)
    {
        if (const char* previous = std::getenv (busVariable))
            previousAddress = previous;

        juce::ChildProcess daemon;
        if (! daemon.start (
                juce::StringArray { "dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1" }))
            return;

        const auto lines = juce::StringArray::fromLines (daemon.readAllProcessOutput().trim());
        address = lines[0];
        busPid = lines[1].getIntValue();
        setenv (busVariable, address.toRawUTF8(), 1);

        if (devicesJson.isEmpty())
            return;

        const juce::String templatePath = TESSEL_SOURCE_DIR "/tests/support/udisks2_template.py";
        // Debian's python, where python3-dbusmock is installed, whatever python3 is first on PATH.
        mock.start (juce::StringArray { "/usr/bin/python3", "-m", "dbusmock", "-l", callLog.getFile().getFullPathName(),
                                        "-t", templatePath, "-p", "{\"devices\": " + devicesJson + "}" });

        for (int i = 0; i < 200 && ! serving(); ++i)
            juce::Thread::sleep (50);
    }

    ~FakeUDisks2()
    {
        // The mock ends by itself when its bus goes; killed all the same.
        if (busPid > 0)
            ::kill (busPid, SIGTERM);

        mock.kill();

        if (previousAddress.has_value())
            setenv (busVariable, previousAddress->c_str(), 1);
        else
            unsetenv (busVariable);
    }

    bool isUp() const { return address.isNotEmpty() && busPid > 0; }

    /** Whether udisks2's name has an owner on the bus. */
    bool serving() const
    {
        GError* error = nullptr;
        auto* bus = g_dbus_connection_new_for_address_sync (
            address.toRawUTF8(),
            (GDBusConnectionFlags) (G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                    | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);

        if (bus == nullptr)
        {
            g_error_free (error);
            return false;
        }

        auto* reply =
            g_dbus_connection_call_sync (bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                         "NameHasOwner", g_variant_new ("(s)", "org.freedesktop.UDisks2"),
                                         G_VARIANT_TYPE ("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        gboolean owned = FALSE;

        if (reply != nullptr)
        {
            g_variant_get (reply, "(b)", &owned);
            g_variant_unref (reply);
        }

        g_dbus_connection_close_sync (bus, nullptr, nullptr);
        g_object_unref (bus);
        return owned;
    }

    /** The methods the mock was called with, one a line. */
    juce::String calls() const { return callLog.getFile().loadFileAsString(); }

private:
    std::optional<std::string> previousAddress;
    juce::String address;
    int busPid = 0;
    juce::ChildProcess mock;
    juce::TemporaryFile callLog;
};

/** A device for the fake udisks2; major 240 is for local use, so no disk of
    the machine running the tests has these numbers. */
juce::String device (const char* name, int minor, const juce::String& more)
{
    return "{\"name\": \"" + juce::String (name) + "\", \"number\": " + juce::String ((240 << 8) | minor) + ", " + more
        + "}";
}

juce::String number (int minor)
{
    return "240:" + juce::String (minor);
}

MountAnswer askToMount (UDisks2Mounter& mounter, const juce::String& deviceNumber)
{
    std::optional<MountAnswer> answer;
    mounter.mount (deviceNumber, [&] (MountAnswer a) { answer = a; });
    pumpUntil ([&] { return answer.has_value(); }, 10000);
    return answer.value_or (MountAnswer { {}, "no answer reached the message thread" });
}
} // namespace

TEST (UDisks2Mounter, AnswersWhereUdisks2MountedTheVolumeOrWhyNot)
{
    {
        FakeUDisks2 udisks ("[" + device ("sdb1", 17, "\"answer\": \"/media/anna/TESSEL IR/\"") + ", "
                            + device ("sdc1", 33, "\"mount\": \"refuse\"") + ", "
                            + device ("sdd", 48, "\"filesystem\": false") + ", "
                            + device ("sde1", 65, "\"mounted_at\": \"/media/anna/STICK\"") + ", "
                            + device ("sdf1", 81, "\"mount\": \"hang\"") + "]");
        ASSERT_TRUE (udisks.serving()) << "needs dbus-daemon and Debian's python3-dbusmock";

        UDisks2Mounter mounter;
        EXPECT_EQ (askToMount (mounter, number (17)).mountPath, "/media/anna/TESSEL IR");
        // Never a password prompt hidden behind the editor's window.
        EXPECT_TRUE (udisks.calls().contains ("Mount {\"auth.no_user_interaction\": True}")) << udisks.calls();

        const auto refusal = askToMount (mounter, number (33));
        EXPECT_FALSE (refusal.mounted());
        EXPECT_EQ (refusal.why,
                   "Not authorized to perform operation (org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain)");

        EXPECT_EQ (askToMount (mounter, number (48)).why, "udisks2 finds no file system on the device");
        EXPECT_EQ (askToMount (mounter, number (99)).why, "udisks2 does not know the device");

        // Mounted already (by the desktop, a moment earlier): its path, and no Mount call.
        const auto mountCalls = [&]
        { return udisks.calls().length() - udisks.calls().replace (" Mount {", "").length(); };
        const auto before = mountCalls();
        EXPECT_EQ (askToMount (mounter, number (65)).mountPath, "/media/anna/STICK");
        EXPECT_EQ (mountCalls(), before);

        const juce::ScopedValueSetter<int> quick (UDisks2Mounter::timeoutMs, 300);
        EXPECT_EQ (askToMount (mounter, number (81)).why, "udisks2 did not answer in time");

        // A request under way when the mounter goes is cancelled, never answered.
        bool answered = false;
        {
            const juce::ScopedValueSetter<int> slow (UDisks2Mounter::timeoutMs, 20000);
            UDisks2Mounter leaving;
            leaving.mount (number (81), [&] (MountAnswer) { answered = true; });
            juce::Thread::sleep (200);
        }
        pumpPending();
        EXPECT_FALSE (answered);
    }

    {
        FakeUDisks2 busWithoutUDisks2 ({});
        ASSERT_TRUE (busWithoutUDisks2.isUp());
        UDisks2Mounter mounter;
        const auto answer = askToMount (mounter, number (17));
        EXPECT_EQ (answer.why, "udisks2 is not installed");
        EXPECT_EQ (answer.failure, MountFailure::noUDisks2);
    }

    const juce::String previous (std::getenv (busVariable));
    setenv (busVariable, "unix:path=/nonexistent/tessel-bus", 1);
    UDisks2Mounter mounter;
    EXPECT_TRUE (askToMount (mounter, number (17)).why.startsWith ("no system bus: "))
        << askToMount (mounter, number (17)).why;

    // A bus that takes the connection and then never speaks.
    const juce::TemporaryFile socketFile;
    sockaddr_un silent {};
    silent.sun_family = AF_UNIX;
    socketFile.getFile().getFullPathName().copyToUTF8 (silent.sun_path, sizeof (silent.sun_path));
    const int listening = ::socket (AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ (::bind (listening, (sockaddr*) &silent, sizeof (silent)), 0);
    ASSERT_EQ (::listen (listening, 4), 0);
    setenv (busVariable, ("unix:path=" + socketFile.getFile().getFullPathName()).toRawUTF8(), 1);
    {
        const juce::ScopedValueSetter<int> quick (UDisks2Mounter::timeoutMs, 300);
        EXPECT_EQ (askToMount (mounter, number (17)).why, "udisks2 did not answer in time");
    }
    ::close (listening);

    previous.isEmpty() ? unsetenv (busVariable) : setenv (busVariable, previous.toRawUTF8(), 1);
}

// What Debian's udisks2 daemon answers where the double above is kind.
TEST (UDisks2Mounter, TakesTheRealDaemonsAnswersAsTheyAreMeant)
{
    {
        FakeUDisks2 udisks ("[" + device ("sdb1", 17, "\"mount\": \"already\", \"answer\": \"/media/anna/TESSEL IR\"")
                            + ", "
                            + device ("sdc1", 33,
                                      "\"mount\": \"fail\", \"error\": \"org.freedesktop.UDisks2.Error.Failed\", "
                                      "\"message\": \"Error mounting /dev/sdc1: wrong fs type\\n\"")
                            + "]");
        ASSERT_TRUE (udisks.serving()) << "needs dbus-daemon and Debian's python3-dbusmock";
        UDisks2Mounter mounter;

        // Mounted by the desktop between our look-up and our Mount: where it went.
        const auto mountedMeanwhile = askToMount (mounter, number (17));
        EXPECT_EQ (mountedMeanwhile.mountPath, "/media/anna/TESSEL IR") << mountedMeanwhile.why;
        EXPECT_TRUE (udisks.calls().contains (" Mount {")) << "the volume was not yet mounted at the look-up";

        // Its texts end in a newline that no message or log line wants.
        const auto failed = askToMount (mounter, number (33));
        EXPECT_EQ (failed.why, "Error mounting /dev/sdc1: wrong fs type (org.freedesktop.UDisks2.Error.Failed)");
        EXPECT_EQ (failed.failure, MountFailure::refused);
    }

    // udisksd going away mid-request: the bus answers NoReply at once.
    FakeUDisks2 stopping ("[" + device ("sdb1", 17, "\"mount\": \"stop\"") + "]");
    ASSERT_TRUE (stopping.serving());
    UDisks2Mounter mounter;
    const auto stopped = askToMount (mounter, number (17));
    EXPECT_EQ (stopped.why, "udisks2 stopped before it answered");
    EXPECT_EQ (stopped.failure, MountFailure::refused);
}

// The editor on a machine without an automounter: the pedal's volume is
// attached but not mounted, and udisks2 is asked to mount it.
TEST (PedalVolumeOverUDisks2, TheEditorMountsTheVolumeOrSaysHowToMountIt)
{
    const juce::ScopedValueSetter<int> noDesktop (LinuxDiskSession::automountGraceMs, 0);

    // The pedal's volume as udev describes it, its file system unmounted.
    const auto recorded = []
    {
        tessel::linuxdisk::BlockDeviceText pedal;
        pedal.deviceNumber = number (17).toStdString();
        pedal.kernelName = "sdb1";
        pedal.vendorEncProperty = "KORVEL\\x20\\x20";
        pedal.modelEncProperty = "TESSEL\\x20\\x20\\x20\\x20";
        pedal.labelEncProperty = "TESSEL";
        pedal.fsUsageProperty = "filesystem";
        return std::vector<tessel::linuxdisk::BlockDeviceText> { pedal };
    };

    enum class UDisks2
    {
        mounts,
        refuses,
        isMissing
    };

    for (auto udisks2 : { UDisks2::mounts, UDisks2::refuses, UDisks2::isMissing })
    {
        SCOPED_TRACE ((int) udisks2);

        // Where udisks2 "mounts" it: a folder holding the pedal's volume.
        tessel::sim::SimulatedDisks volumes;
        const auto volume =
            volumes.volumeRoot (tessel::sim::addCabVolume (volumes, { "RADIO 1x5.wav", "TINY 1x6.wav" }, false));
        const auto mountPath = volume.getFullPathName();

        FakeUDisks2 udisks (udisks2 == UDisks2::isMissing ? juce::String()
                                                          : "["
                                    + device ("sdb1", 17,
                                              udisks2 == UDisks2::mounts ? "\"answer\": \"" + mountPath + "\""
                                                                         : juce::String ("\"mount\": \"refuse\""))
                                    + "]");
        ASSERT_TRUE (udisks.isUp());

        EditorHarness h ([&] { return std::make_unique<LinuxDiskSession> (recorded); });
        auto& page = h.hub().cabPage();
        h.connect (kindCAB);

        if (udisks2 == UDisks2::mounts)
        {
            ASSERT_TRUE (pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2; }, 10000));
            EXPECT_EQ (disk_Name(), mountPath + "/");
            EXPECT_EQ (page.algorithmListModel.rowText (1), "1   TINY 1x6.wav");
            EXPECT_FALSE (page.volumeNotice.isVisible());
            EXPECT_TRUE (h.messages().empty());
            continue;
        }

        // udisksctl comes with udisks2: without it, mount(8), the files left writable by the user.
        const juce::String message = udisks2 == UDisks2::refuses
            ? "The pedal's volume is not mounted, so its IR files cannot be listed or changed.\n\n"
              "Mount it from your file manager, or in a terminal with:\n"
              "udisksctl mount -b /dev/sdb1"
            : "The pedal's volume is not mounted, so its IR files cannot be listed or changed.\n\n"
              "udisks2 is not installed, so neither a file manager nor udisksctl can mount it. "
              "Mount it in a terminal with:\n"
              "sudo mkdir -p /mnt/tessel && sudo mount -o uid=$(id -u),gid=$(id -g),umask=022 /dev/sdb1 /mnt/tessel";

        ASSERT_TRUE (pumpUntil ([&] { return page.volumeNotice.isVisible(); }, 10000));
        EXPECT_EQ (page.volumeNotice.getText(), message);
        EXPECT_EQ (disk_Name(), "");
        EXPECT_EQ (page.algorithmListModel.getNumRows(), 0);

        // Every IR button says the same instead of doing nothing.
        for (auto* button : { &page.addButton, &page.deleteButton, &page.loadIrButton, &page.saveIrButton })
        {
            click (*button);
            ASSERT_FALSE (h.messages().empty()) << button->getButtonText();
            EXPECT_EQ (h.messages().back().text, message) << button->getButtonText();
        }

        EXPECT_EQ (h.messages().size(), 4u);
        EXPECT_TRUE (h.dialogs().questions.empty() && h.dialogs().openPatterns.isEmpty());
        EXPECT_EQ (CopyWavThread::jobsInProgress(), 0);
    }
}

TEST (PedalVolumeOverUDisks2, WithNoVolumeSeenAtAllTheIrButtonsSayHowToFindAndMountIt)
{
    EditorHarness h;
    h.connect (kindCAB);
    auto& page = h.hub().cabPage();

    click (page.addButton);
    ASSERT_EQ (h.messages().size(), 1u);
    EXPECT_TRUE (
        h.messages()[0].text.endsWith ("udisksctl mount -b /dev/sdX\n(sdX is the pedal's 8 MB disk that lsblk lists.)"))
        << h.messages()[0].text;
    EXPECT_TRUE (h.dialogs().openPatterns.isEmpty());
    EXPECT_FALSE (page.volumeNotice.isVisible()) << "nothing has failed to mount";
}
