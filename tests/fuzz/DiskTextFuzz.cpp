#include "FuzzSupport.h"

#include "device/PedalVolumeWatcher.h"
#include "device/platform/LinuxDiskParsing.h"

// What the Linux disk layer reads from the system: /proc/self/mountinfo
// before and after a change, and udev's names of the block devices, which
// come from whatever a USB drive says about itself and its file system.

using namespace tessel::linuxdisk;
using namespace tessel::fuzz;

namespace
{
// A desktop with the pedal's volume, a USB stick, a tmpfs and a line cut short.
const char* desktopMountInfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro\n"
    "25 22 0:21 / /run rw,nosuid,nodev shared:5 - tmpfs tmpfs rw,size=1631744k\n"
    "310 30 8:17 / /media/anna/TESSEL\\040IR rw,nosuid,nodev,relatime shared:170 - vfat /dev/sdb1 rw,uid=1000\n"
    "311 30 8:33 / /media/anna/STICK rw,nosuid,nodev,relatime shared:171 master:3 - vfat /dev/sdc1 rw\n"
    "312 30 8:49 / /media/anna/cut rw\n";

constexpr char snapshotBreak = '\f'; // between the two mountinfo snapshots in an input

constexpr std::optional<std::string> BlockDeviceText::*textFields[] = {
    &BlockDeviceText::vendorEncProperty, &BlockDeviceText::modelEncProperty, &BlockDeviceText::labelEncProperty,
    &BlockDeviceText::labelProperty,     &BlockDeviceText::scsiVendor,       &BlockDeviceText::scsiModel
};

void seeds (SeedWriter& out)
{
    const std::vector<BlockDeviceText> devices = {
        { "8:2", "sda2", "Samsung\\x20SSD", "870\\x20EVO", std::nullopt, std::nullopt, {}, {}, {} },
        { "8:17", "sdb1", "KORVEL\\x20\\x20", "TESSEL\\x20\\x20\\x20\\x20", "TESSEL\\x20IR", "TESSEL IR", {}, {}, {} },
        { "8:33", "sdc1", "SanDisk\\x20", "Cruzer\\x20Blade", "STICK", "STICK", {}, {}, {} },
        { "8:17", "sdb1", {}, {}, {}, "TESSEL", "KORVEL  ", "TESSEL          \n", {} },
    };

    SeedBytes seed;
    seed.byte ((int) devices.size());
    for (const auto& device : devices)
    {
        seed.text (device.deviceNumber).text (device.kernelName);
        for (auto field : textFields)
            seed.maybeText (device.*field);
    }

    // Before: the whole desktop; after: the pedal's volume unmounted.
    std::string after (desktopMountInfo);
    after.erase (after.find ("310 "), after.find ("311 ") - after.find ("310 "));
    out.add (seed.raw (std::string_view (desktopMountInfo)).byte (snapshotBreak).raw (after));
}

std::vector<DiskDescription> disksOf (const std::vector<BlockDeviceText>& devices, std::string_view mountInfo)
{
    const auto mounts = parseMountInfo (mountInfo);
    for (const auto& mount : mounts)
        require (mount.deviceNumber.find (':') != std::string::npos && mount.mountPoint.size() <= mountInfo.size(),
                 "a mount line read beyond its text");

    auto disks = mountedDisks (devices, mounts);
    require (disks.size() <= devices.size(), "more disks than block devices");
    for (const auto& disk : disks)
        isPedalVolume (disk);
    return disks;
}

void run (Input& input)
{
    std::vector<BlockDeviceText> devices ((size_t) input.inRange (0, 8));
    for (auto& device : devices)
    {
        device.deviceNumber = input.text (20);
        device.kernelName = input.text (20);
        for (auto field : textFields)
            device.*field = input.maybeText();
    }

    const auto text = input.rest();
    const auto split = std::min (text.find (snapshotBreak), text.size());
    const auto disksBefore = disksOf (devices, std::string_view (text).substr (0, split));
    const auto disksAfter = disksOf (devices, std::string_view (text).substr (std::min (split + 1, text.size())));
    const auto changes = changesBetween (disksBefore, disksAfter);
    require (changes.gone.size() <= disksBefore.size() && changes.appeared.size() <= disksAfter.size(),
             "more changes than disks");
    require (! changesBetween (disksAfter, disksAfter).gone.size(), "a list differs from itself");
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { false, seeds, run };
