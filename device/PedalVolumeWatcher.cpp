#include "device/PedalVolumeWatcher.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>

#include <juce_events/juce_events.h>

namespace
{
// The IR library job asks for the path from its worker thread while the
// message thread may be taking it away, so both go through this lock.
struct RecognisedVolume
{
    std::mutex lock;
    juce::String name;
    juce::String mountPath;
    bool untold = false;
};

RecognisedVolume& recognised()
{
    static RecognisedVolume volume;
    return volume;
}

void remember (const juce::String& name, const juce::String& mountPath)
{
    auto& volume = recognised();
    const std::lock_guard<std::mutex> hold (volume.lock);
    volume.name = name;
    volume.mountPath = mountPath;
    volume.untold = false;
}

void forgetMountPath (bool untold = false)
{
    auto& volume = recognised();
    const std::lock_guard<std::mutex> hold (volume.lock);
    volume.mountPath.clear();
    volume.untold = untold;
}

// Each value shown in the diagnostics is followed by an empty line.
void show (const juce::String& text)
{
    printf ("%s\n\n", text.toRawUTF8());
}

bool sameDisk (const DiskDescription& a, const DiskDescription& b)
{
    return a.bsdName == b.bsdName && a.mountPath == b.mountPath;
}
} // namespace

std::function<std::unique_ptr<DiskSession>()> diskSessionFactory = [] { return createPlatformDiskSession(); };

bool isPedalDisk (const DiskDescription& disk)
{
    return disk.deviceVendor == PedalVolume::deviceVendor && disk.deviceModel == PedalVolume::deviceModel;
}

bool isPedalVolume (const DiskDescription& disk)
{
    return isPedalDisk (disk) && disk.volumeName.isNotEmpty() && disk.mountPath.isNotEmpty();
}

juce::String disk_Name()
{
    auto& volume = recognised();
    const std::lock_guard<std::mutex> hold (volume.lock);

    if (volume.mountPath.isEmpty())
        return {};

    return volume.mountPath.endsWithChar ('/') ? volume.mountPath : volume.mountPath + "/";
}

bool pedalVolumeUntold()
{
    auto& volume = recognised();
    const std::lock_guard<std::mutex> hold (volume.lock);
    return volume.untold;
}

juce::String diskName()
{
    auto& volume = recognised();
    const std::lock_guard<std::mutex> hold (volume.lock);
    return volume.name;
}

PedalVolumeWatcher::PedalVolumeWatcher (std::unique_ptr<DiskSession> sessionToUse, Listener& listenerToTell)
    : session (std::move (sessionToUse)),
      listener (listenerToTell)
{
    if (session != nullptr)
        session->setListener (this);
}

PedalVolumeWatcher::~PedalVolumeWatcher()
{
    if (session != nullptr)
        session->setListener (nullptr);

    if (pedalVolume.has_value() || pedalVolumeUntold())
        forgetMountPath();
}

bool PedalVolumeWatcher::open()
{
    return session != nullptr && session->open();
}

void PedalVolumeWatcher::followPedal (const juce::String& usbDevice, int cabPedals)
{
    JUCE_ASSERT_MESSAGE_THREAD

    linkedUsbDevice = usbDevice;
    cabPedalsAttached = cabPedals;
    putInForce (volumeOfLinkedPedal());

    if (pedalVolume.has_value())
        return;

    // The notice over the IR list names the disk to mount by hand: it must
    // be the newly linked pedal's, or none.
    for (auto it = unmountedPedalDisks.rbegin(); it != unmountedPedalDisks.rend(); ++it)
        if (mayBeLinkedPedals (it->first))
        {
            listener.pedalVolumeNotMounted ("/dev/" + it->first.bsdName, it->second);
            return;
        }

    listener.pedalVolumeNotMounted ({}, MountFailure::refused);
}

void PedalVolumeWatcher::countCabPedals (int cabPedals)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (std::exchange (cabPedalsAttached, cabPedals) != cabPedals)
        decideVolumeInForce();
}

void PedalVolumeWatcher::forgetUnmounted (const DiskDescription& disk)
{
    unmountedPedalDisks.erase (std::remove_if (unmountedPedalDisks.begin(), unmountedPedalDisks.end(),
                                               [&] (const auto& known) { return known.first.bsdName == disk.bsdName; }),
                               unmountedPedalDisks.end());
}

std::optional<DiskDescription> PedalVolumeWatcher::volumeOfLinkedPedal() const
{
    // A CAB pedal's volume hangs from the same USB device as its HID interface.
    if (linkedUsbDevice.isNotEmpty())
        for (const auto& volume : pedalVolumes)
            if (volume.usbDevice == linkedUsbDevice)
                return volume;

    // Where the system doesn't tell which USB device the pedal or a volume
    // hangs from, a volume is taken for the linked pedal's only while it is
    // the one pedal volume mounted. With two, nothing says whose is whose,
    // and a wrong guess would list one pedal's IRs as another's and write
    // one pedal's index over the other's: better no volume than that.
    if (pedalVolumes.size() == 1 && mayBeLinkedPedals (pedalVolumes.front()))
        return pedalVolumes.front();

    return std::nullopt;
}

bool PedalVolumeWatcher::mayBeLinkedPedals (const DiskDescription& disk) const
{
    // A pedal may hang its HID and its disk from two USB devices behind a
    // hub inside it: with one CAB pedal attached, any pedal disk is its.
    return linkedUsbDevice.isEmpty() || disk.usbDevice.isEmpty() || disk.usbDevice == linkedUsbDevice
        || cabPedalsAttached == 1;
}

void PedalVolumeWatcher::putInForce (const std::optional<DiskDescription>& volume)
{
    pedalVolume = volume;

    // The empty mount point can outlive the volume on the user's own disk;
    // nothing may be written there in the volume's name.
    if (volume.has_value())
        remember (volume->volumeName, volume->mountPath);
    else
        forgetMountPath (std::count_if (pedalVolumes.begin(), pedalVolumes.end(),
                                        [this] (const auto& mounted) { return mayBeLinkedPedals (mounted); })
                         > 1);
}

void PedalVolumeWatcher::decideVolumeInForce (const DiskDescription* arrived)
{
    const auto before = pedalVolume;
    const auto now = volumeOfLinkedPedal();
    putInForce (now);

    // Whoever listed what the volume before holds must hear that it is no
    // longer the one in force.
    if (now.has_value()
        && (! before.has_value() || ! sameDisk (*before, *now) || (arrived != nullptr && sameDisk (*now, *arrived))))
        listener.pedalVolumeAppeared();
    else if (! now.has_value() && before.has_value())
        listener.pedalVolumeWithdrawn();
}

void PedalVolumeWatcher::hello_disk (const DiskDescription& disk)
{
    JUCE_ASSERT_MESSAGE_THREAD

    printf ("disk %s appeared\n", disk.bsdName.toRawUTF8());

    if (disk.deviceVendor.isEmpty() || disk.volumeName.isEmpty())
        return;

    show (disk.deviceModel);
    show (disk.deviceVendor);

    if (! isPedalVolume (disk))
        return;

    show (disk.volumeName);

    forgetUnmounted (disk);
    pedalVolumes.erase (std::remove_if (pedalVolumes.begin(), pedalVolumes.end(),
                                        [&] (const auto& known) { return sameDisk (known, disk); }),
                        pedalVolumes.end());
    pedalVolumes.push_back (disk);

    // Another pedal's volume leaves the linked pedal's in force; it can only
    // make it unclear which is the linked pedal's, when neither says.
    decideVolumeInForce (&disk);
}

void PedalVolumeWatcher::goodbye_disk (const DiskDescription& disk)
{
    JUCE_ASSERT_MESSAGE_THREAD

    printf ("disk %s 磁盘消失\n", disk.bsdName.toRawUTF8());

    forgetUnmounted (disk);

    const auto known = std::remove_if (pedalVolumes.begin(), pedalVolumes.end(),
                                       [&] (const auto& volume) { return sameDisk (volume, disk); });
    const bool wasPedalVolume = known != pedalVolumes.end();
    pedalVolumes.erase (known, pedalVolumes.end());

    // A USB stick pulled out, or another pedal's volume, has nothing to do
    // with the linked pedal: only its own volume going away takes the CAB
    // page down. No other volume takes its place.
    if (pedalVolume.has_value() && sameDisk (*pedalVolume, disk))
    {
        putInForce (std::nullopt);
        listener.pedalVolumeGone();
        return;
    }

    // Once another pedal's volume has gone, the one left can be told to be
    // the linked pedal's again.
    if (wasPedalVolume && ! pedalVolume.has_value())
        decideVolumeInForce();
}

void PedalVolumeWatcher::diskNotMounted (const DiskDescription& disk)
{
    JUCE_ASSERT_MESSAGE_THREAD

    printf ("disk %s is not mounted\n", disk.bsdName.toRawUTF8());

    // Any other disk is the user's business; the pedal's volume is what a
    // Mac would have mounted by itself.
    if (! isPedalDisk (disk) || session == nullptr)
        return;

    printf ("disk %s: asking udisks2 to mount the pedal's volume\n", disk.bsdName.toRawUTF8());
    session->mount (disk);
}

void PedalVolumeWatcher::diskMountFailed (const DiskDescription& disk, const juce::String& why, MountFailure failure)
{
    JUCE_ASSERT_MESSAGE_THREAD

    printf ("disk %s could not be mounted: %s\n", disk.bsdName.toRawUTF8(), why.toRawUTF8());

    if (! isPedalDisk (disk))
        return;

    forgetUnmounted (disk);
    unmountedPedalDisks.emplace_back (disk, failure);

    if (! pedalVolume.has_value() && mayBeLinkedPedals (disk))
        listener.pedalVolumeNotMounted ("/dev/" + disk.bsdName, failure);
}
