#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/platform/DiskSession.h"

// The decisions the Linux disk layer makes from text that udev and
// /proc/self/mountinfo give it, kept apart from libudev so they can be checked
// on recorded text on any machine.

namespace tessel::linuxdisk
{
/** One line of /proc/self/mountinfo, the fields we use. */
struct MountEntry
{
    std::string deviceNumber; // "major:minor"
    std::string mountPoint;   // with the kernel's octal escapes undone
};

/** Undoes the kernel's escaping in mountinfo paths, where a blank, tab,
    newline and backslash are written as \040, \011, \012 and \134. A
    backslash that doesn't start three octal digits is kept as it is. */
std::string decodeMountEscapes (std::string_view encoded);

/** Every well-formed line of a mountinfo text, in order; others are skipped. */
std::vector<MountEntry> parseMountInfo (std::string_view text);

/** What udev and sysfs tell us about one block device (a disk or a partition). */
struct BlockDeviceText
{
    std::string deviceNumber; // "major:minor"
    std::string kernelName;   // "sdb1"

    // udev's properties, escaped as udev writes them (\xNN).
    std::optional<std::string> vendorEncProperty; // ID_VENDOR_ENC
    std::optional<std::string> modelEncProperty;  // ID_MODEL_ENC
    std::optional<std::string> labelEncProperty;  // ID_FS_LABEL_ENC
    std::optional<std::string> labelProperty;     // ID_FS_LABEL

    // The SCSI device's sysfs attributes, for when udev has no database.
    std::optional<std::string> scsiVendor;
    std::optional<std::string> scsiModel;

    // udev's ID_FS_USAGE: "filesystem" for a device that holds one.
    std::optional<std::string> fsUsageProperty;

    // The sysfs path of the USB device the block device hangs from.
    std::optional<std::string> usbDeviceSysPath {};
};

/** The description of a block device mounted at mountPoint: names decoded,
    vendor and model trimmed of the inquiry's padding, and the USB device it
    hangs from. */
DiskDescription describe (const BlockDeviceText& device, const std::string& mountPoint);

/** The mounted disks: each block device joined with the first mount of the
    same device number. Devices that aren't mounted are left out. */
std::vector<DiskDescription> mountedDisks (const std::vector<BlockDeviceText>& devices,
                                           const std::vector<MountEntry>& mounts);

/** The block devices that hold a file system (as udev tells) and have no
    mount, described with an empty mount path. */
std::vector<DiskDescription> unmountedFileSystems (const std::vector<BlockDeviceText>& devices,
                                                   const std::vector<MountEntry>& mounts);

/** What changed between two lists of mounted disks. A disk counts as the same
    while its device and mount point stay the same. */
struct DiskChanges
{
    std::vector<DiskDescription> gone;
    std::vector<DiskDescription> appeared;
};

DiskChanges changesBetween (const std::vector<DiskDescription>& before, const std::vector<DiskDescription>& after);
} // namespace tessel::linuxdisk
