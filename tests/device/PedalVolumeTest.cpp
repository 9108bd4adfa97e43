#include <gtest/gtest.h>

#include <juce_events/juce_events.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include "device/PedalVolumeWatcher.h"
#include "device/platform/LinuxDiskParsing.h"
#include "device/platform/LinuxDiskSession.h"
#include "device/platform/LinuxHidDevice.h"
#include "support/MessagePump.h"
#include "support/SimulatedDisks.h"

using namespace tessel::linuxdisk;
using namespace tessel::test;

namespace
{
// A desktop's mountinfo: the pedal's volume "TESSEL IR", a USB stick, a tmpfs and a line cut short.
const char* recordedMountInfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro\n"
    "25 22 0:21 / /run rw,nosuid,nodev shared:5 - tmpfs tmpfs rw,size=1631744k\n"
    "310 30 8:17 / /media/anna/TESSEL\\040IR rw,nosuid,nodev,relatime shared:170 - vfat /dev/sdb1 rw,uid=1000\n"
    "311 30 8:33 / /media/anna/STICK rw,nosuid,nodev,relatime shared:171 master:3 - vfat /dev/sdc1 rw\n"
    "312 30 8:49 / /media/anna/cut rw\n";

// udev's block devices: system disk, pedal partition (inquiry fields blank-padded), stick, the pedal's unmounted whole disk.
const std::vector<BlockDeviceText> recordedDevices = {
    { "8:2", "sda2", "Samsung\\x20SSD", "870\\x20EVO", std::nullopt, std::nullopt, {}, {}, {} },
    { "8:17",
      "sdb1",
      "KORVEL\\x20\\x20",
      "TESSEL\\x20\\x20\\x20\\x20\\x20\\x20\\x20\\x20\\x20\\x20",
      "TESSEL\\x20IR",
      "TESSEL IR",
      {},
      {},
      {} },
    { "8:33", "sdc1", "SanDisk\\x20", "Cruzer\\x20Blade", "STICK", "STICK", {}, {}, {} },
    { "8:16", "sdb", "KORVEL\\x20\\x20", "TESSEL", std::nullopt, std::nullopt, {}, {}, {} },
};

struct Recorded : DiskSession::Listener
{
    void diskAppeared (const DiskDescription& d) override { events.add ("appeared " + d.bsdName + " " + d.mountPath); }
    void diskDisappeared (const DiskDescription& d) override { events.add ("gone " + d.bsdName + " " + d.mountPath); }
    juce::StringArray events;
};

struct Heard : PedalVolumeWatcher::Listener
{
    void pedalVolumeAppeared() override { events.push_back ("appeared " + disk_Name()); }
    void pedalVolumeGone() override { events.push_back ("gone " + disk_Name()); }
    std::vector<juce::String> events;
};
} // namespace

TEST (LinuxDiskParsing, MountInfoIsDecodedAndBlockDevicesJoinTheirMountsByDeviceNumber)
{
    const std::pair<const char*, const char*> escapes[] = {
        { "/a\\011b\\012c\\134d", "/a\tb\nc\\d" },
        { "/kept\\09x\\", "/kept\\09x\\" },
        { "/end\\04", "/end\\04" },
    };

    for (const auto& [encoded, decoded] : escapes)
        EXPECT_EQ (decodeMountEscapes (encoded), decoded) << encoded;

    const auto mounts = parseMountInfo (recordedMountInfo);
    ASSERT_EQ (mounts.size(), 4u);
    EXPECT_EQ (mounts[2].deviceNumber + " " + mounts[2].mountPoint, "8:17 /media/anna/TESSEL IR");
    EXPECT_EQ (mounts[3].deviceNumber + " " + mounts[3].mountPoint, "8:33 /media/anna/STICK");

    const auto disks = mountedDisks (recordedDevices, mounts);
    ASSERT_EQ (disks.size(), 3u);

    const auto& pedal = disks[1];
    EXPECT_EQ (pedal.bsdName + "|" + pedal.deviceVendor + "|" + pedal.deviceModel + "|" + pedal.volumeName + "|"
                   + pedal.mountPath,
               "sdb1|KORVEL|TESSEL|TESSEL IR|/media/anna/TESSEL IR");
    EXPECT_TRUE (isPedalVolume (pedal));

    // Without udev's database the SCSI attributes, padded the same way, serve.
    const BlockDeviceText bare { "8:17", "sdb1", {}, {}, {}, "TESSEL", "KORVEL  ", "TESSEL          \n", {} };
    EXPECT_TRUE (isPedalVolume (describe (bare, "/mnt/p")));

    // Only the stick went: it is the one disk gone, nothing appeared.
    const auto changes = changesBetween (disks, { disks[0], disks[1] });
    EXPECT_TRUE (changes.gone.size() == 1 && changes.gone[0].bsdName == "sdc1" && changes.appeared.empty());
}

TEST (PedalVolumeWatcher, OnlyThePedalsOwnVolumeComesAndGoes)
{
    tessel::sim::SimulatedDisks disks;
    const auto pedal = disks.addPedalVolume ("TESSEL IR");
    const auto root = disks.volumeRoot (pedal).getFullPathName() + "/";

    Heard heard;
    {
        PedalVolumeWatcher watcher (disks.createSession(), heard);
        ASSERT_TRUE (watcher.open());
        pumpPending();

        // Mounted before the watcher started: reported all the same.
        ASSERT_EQ (heard.events, std::vector<juce::String> ({ "appeared " + root }));
        EXPECT_EQ (diskName(), "TESSEL IR");

        const auto stick = disks.add ("SanDisk", "Cruzer Blade", "STICK");
        disks.add ("KORVEL", "TESSEL", "");
        disks.add ("Korvel", "TESSEL", "TESSEL");
        disks.unmount (stick);
        pumpPending();
        EXPECT_TRUE (heard.events.size() == 1 && disk_Name() == root);

        disks.unmount (pedal);
        pumpPending();
        disks.mount (pedal);
        pumpPending();
        EXPECT_EQ (heard.events, std::vector<juce::String> ({ "appeared " + root, "gone ", "appeared " + root }));
    }

    EXPECT_EQ (disk_Name(), "") << "a watcher that has gone leaves no path behind";
}

TEST (PedalVolumeWatcher, OfSeveralPedalVolumesOnlyTheLinkedPedalsOwnIsInForce)
{
    tessel::sim::SimulatedDisks disks;
    const auto rootOf = [&] (int disk) { return disks.volumeRoot (disk).getFullPathName() + "/"; };
    const auto a = disks.addPedalVolume ("TESSEL", true, "usb-a");
    const auto b = disks.addPedalVolume ("TESSEL", false, "usb-b");

    Heard heard;
    {
        PedalVolumeWatcher watcher (disks.createSession(), heard);
        watcher.followPedal ("usb-a", 2);
        ASSERT_TRUE (watcher.open());
        pumpPending();
        ASSERT_EQ (heard.events, std::vector<juce::String> ({ "appeared " + rootOf (a) }));

        // Pedal B is linked before its volume comes: meanwhile no volume is its.
        watcher.followPedal ("usb-b", 2);
        EXPECT_TRUE (disk_Name().isEmpty() && ! watcher.hasPedalVolume());
        disks.mount (b);
        pumpPending();
        EXPECT_EQ (heard.events.back(), "appeared " + rootOf (b));

        // A's volume coming and going is none of B's business; B's own going is.
        disks.unmount (a);
        disks.mount (a);
        pumpPending();
        EXPECT_TRUE (heard.events.size() == 2 && disk_Name() == rootOf (b));
        disks.unmount (b);
        pumpPending();
        EXPECT_EQ (heard.events,
                   std::vector<juce::String> ({ "appeared " + rootOf (a), "appeared " + rootOf (b), "gone " }));
        EXPECT_EQ (disk_Name(), "");

        // Linked again, A finds its volume still there.
        watcher.followPedal ("usb-a", 2);
        EXPECT_EQ (disk_Name(), rootOf (a));
    }

    // Where the system doesn't say which USB device a volume hangs from, the
    // only pedal volume there is serves; of two, neither.
    tessel::sim::SimulatedDisks unknown;
    const auto only = unknown.addPedalVolume();
    Heard told;
    PedalVolumeWatcher watcher (unknown.createSession(), told);
    watcher.followPedal ("usb-a", 2);
    ASSERT_TRUE (watcher.open());
    pumpPending();
    EXPECT_EQ (disk_Name(), unknown.volumeRoot (only).getFullPathName() + "/");
    const auto other = unknown.addPedalVolume ("TESSEL", true, "usb-c");
    pumpPending();
    EXPECT_EQ (disk_Name(), "");
    unknown.unmount (other);
    pumpPending();
    EXPECT_EQ (told.events,
               std::vector<juce::String> (2, "appeared " + unknown.volumeRoot (only).getFullPathName() + "/"));
}

TEST (PedalVolumeWatcher, TheNotMountedNoticeNamesOnlyTheLinkedPedalsOwnDisk)
{
    // A disk layer whose notices the test gives by hand.
    struct Told : DiskSession
    {
        void setListener (Listener* l) override { listener = l; }
        bool open() override { return true; }
        void mount (const DiskDescription&) override {}
        Listener* listener = nullptr;
    };
    struct Notices : PedalVolumeWatcher::Listener
    {
        void pedalVolumeAppeared() override {}
        void pedalVolumeGone() override {}
        void pedalVolumeNotMounted (const juce::String& device, MountFailure) override { told.add (device); }
        juce::StringArray told;
    } notices;

    auto session = std::make_unique<Told>();
    auto& disks = *session;
    PedalVolumeWatcher watcher (std::move (session), notices);
    ASSERT_TRUE (watcher.open());
    watcher.followPedal ("usb-a", 2);
    const DiskDescription diskOfA { "sdb1", "KORVEL", "TESSEL", "TESSEL", {}, "usb-a" };
    disks.listener->diskMountFailed (diskOfA, "Not authorized", MountFailure::refused);

    // B is linked: A's disk is not the one to mount for it. A, linked
    // again, still has its disk unmounted, until the disk goes.
    watcher.followPedal ("usb-b", 2);
    watcher.followPedal ("usb-a", 2);
    disks.listener->diskDisappeared (diskOfA);
    watcher.followPedal ("usb-a", 2);
    EXPECT_EQ (notices.told, juce::StringArray ({ "", "/dev/sdb1", "", "/dev/sdb1", "" }));
}

TEST (PedalVolumeWatcher, WithOneCabPedalAttachedTheOnlyPedalVolumeIsItsWhicheverUsbDeviceItNames)
{
    // The pedal's HID and its disk hang from two USB devices behind a hub inside it.
    const juce::String pedalHub = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-7";
    tessel::sim::SimulatedDisks disks;
    const auto root =
        disks.volumeRoot (disks.addPedalVolume ("TESSEL", true, pedalHub + "/1-7.2")).getFullPathName() + "/";

    struct : Heard
    {
        void pedalVolumeWithdrawn() override { events.push_back ("withdrawn " + disk_Name()); }
    } heard;
    PedalVolumeWatcher watcher (disks.createSession(), heard);
    watcher.followPedal (pedalHub + "/1-7.1", 1);
    ASSERT_TRUE (watcher.open());
    pumpPending();
    EXPECT_EQ (disk_Name(), root);

    // A second CAB pedal beside it leaves nothing to tell whose the volume
    // is; once it has gone, the volume is the first one's again.
    watcher.countCabPedals (2);
    EXPECT_EQ (disk_Name(), "");
    watcher.countCabPedals (1);
    EXPECT_EQ (heard.events, std::vector<juce::String> ({ "appeared " + root, "withdrawn ", "appeared " + root }));

    watcher.followPedal (pedalHub + "/1-7.1", 2);
    EXPECT_FALSE (watcher.hasPedalVolume());
}

TEST (LinuxUsbDevices, APedalsVolumeAndItsHidInterfaceNameTheUsbDeviceTheyHangFrom)
{
    const std::string cab = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
    BlockDeviceText partition { "8:17", "sdb1", "KORVEL", "TESSEL", "TESSEL", "TESSEL", {}, {}, {} };
    partition.usbDeviceSysPath = cab;
    tessel::linuxhid::UsbParentText parent { "7c5a", "0006", "KORVEL-TESSEL", "KORVEL TESSEL CAB", {}, {}, {}, {} };
    parent.sysPath = cab;
    const LinuxHidDevice hid (tessel::linuxhid::propertiesOf (parent),
                              cab + "/1-2:1.1/0003:7C5A:0006.0005/hidraw/hidraw3", "/dev/hidraw3");

    juce::String usbDevice;
    EXPECT_TRUE (hid.getStringProperty (HidDevice::usbDeviceKey, usbDevice));
    EXPECT_EQ (usbDevice, juce::String (cab));
    EXPECT_EQ (describe (partition, "/media/anna/TESSEL").usbDevice, usbDevice);

    // A disk or a node with no USB device above it names none.
    EXPECT_EQ (describe (recordedDevices[0], "/").usbDevice, "");
    EXPECT_FALSE (LinuxHidDevice (tessel::linuxhid::propertiesOf ({}), "/sys/x", "/dev/hidraw1")
                      .getStringProperty (HidDevice::usbDeviceKey, usbDevice));
}

// The real session on the real mount table: an ext2 image on a loop device, mounted at a path with a blank.
TEST (LinuxDiskSession, FollowsAVolumeMountedAndUnmountedWhileItWatches)
{
    const auto watched = [] { return juce::LinuxEventLoopInternal::getRegisteredFds().size(); };
    const auto before = watched();
    const auto dir =
        juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tessel-" + juce::Uuid().toString());
    const auto image = dir.getChildFile ("volume.img"), mountPoint = dir.getChildFile ("TESSEL IR");
    const auto sh = [] (const juce::String& command)
    { return std::system ((command + " >/dev/null 2>&1").toRawUTF8()) == 0; };
    const auto quoted = mountPoint.getFullPathName().quoted ('\'');
    mountPoint.createDirectory();
    image.replaceWithData (std::vector<char> (1 << 20).data(), 1 << 20);

    juce::ChildProcess losetup;
    const auto device = sh ("mkfs.ext2 -q -F " + image.getFullPathName())
            && losetup.start (juce::StringArray { "losetup", "-f", "--show", image.getFullPathName() })
        ? losetup.readAllProcessOutput().trim()
        : juce::String();
    const juce::ScopeGuard cleanUp { [&]
                                     {
        sh ("umount " + quoted);
        sh ("losetup -d " + device);
        dir.deleteRecursively();
    } };

    if (! device.startsWith ("/dev/loop"))
        GTEST_SKIP() << "no loop device on this machine (needs root)";

    {
        Recorded heard;
        LinuxDiskSession session;
        session.setListener (&heard);
        ASSERT_TRUE (session.open());
        pumpPending();
        EXPECT_EQ (watched(), before + 2);

        const auto ours = device.fromLastOccurrenceOf ("/", false, false) + " " + mountPoint.getFullPathName();

        if (! sh ("mount " + device + " " + quoted))
            GTEST_SKIP() << "cannot mount here";

        // The mount table's change wakes the session; its blank-bearing path arrives whole.
        EXPECT_TRUE (pumpUntil ([&] { return heard.events.contains ("appeared " + ours); }));
        sh ("umount " + quoted);
        EXPECT_TRUE (pumpUntil ([&] { return heard.events.contains ("gone " + ours); }));
    }

    EXPECT_EQ (watched(), before);
}

// A desktop whose udev has probed file systems nobody mounted (the other
// partition of a dual-boot machine, a stick left unmounted): the session, or
// the editor around it, may well end within the grace it leaves the
// desktop's automounter. Nothing of it may be left pending then.
TEST (LinuxDiskSession, EndingWithinTheAutomountGraceLeavesNothingPending)
{
    const auto probedButUnmounted = []
    {
        return std::vector<BlockDeviceText> {
            { "240:3", "sdz3", "WDC\\x20", "Blue", "Windows", "Windows", {}, {}, "filesystem" },
            { "240:17", "sdy1", "SanDisk\\x20", "Cruzer", "STICK", "STICK", {}, {}, "filesystem" },
        };
    };

    struct : Recorded
    {
        void diskNotMounted (const DiskDescription& d) override { events.add ("not mounted " + d.bsdName); }
    } heard;

    const auto watched = [] { return juce::LinuxEventLoopInternal::getRegisteredFds().size(); };
    const auto before = watched();

    {
        // Long enough that only the session's going can end it.
        const juce::ScopedValueSetter<int> grace (LinuxDiskSession::automountGraceMs, 600000);
        LinuxDiskSession session (probedButUnmounted);
        session.setListener (&heard);
        ASSERT_TRUE (session.open());
        pumpPending();
    }

    pumpPending();
    EXPECT_TRUE (heard.events.isEmpty()) << heard.events.joinIntoString (", ");
    EXPECT_EQ (watched(), before);
}
