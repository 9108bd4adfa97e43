#include "device/platform/LinuxDiskParsing.h"

#include <algorithm>

#include "device/platform/LinuxHidParsing.h"

namespace tessel::linuxdisk
{
namespace
{
bool isOctalDigit (char c)
{
    return c >= '0' && c <= '7';
}

std::string_view withoutBlanks (std::string_view text)
{
    const auto isBlank = [] (char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };

    while (! text.empty() && isBlank (text.front()))
        text.remove_prefix (1);

    while (! text.empty() && isBlank (text.back()))
        text.remove_suffix (1);

    return text;
}

std::vector<std::string_view> fieldsOf (std::string_view line)
{
    std::vector<std::string_view> fields;

    while (! line.empty())
    {
        const auto start = line.find_first_not_of (' ');

        if (start == std::string_view::npos)
            break;

        line.remove_prefix (start);
        const auto end = std::min (line.find (' '), line.size());
        fields.push_back (line.substr (0, end));
        line.remove_prefix (end);
    }

    return fields;
}

juce::String utf8 (std::string_view text)
{
    return juce::String::fromUTF8 (text.data(), (int) text.size());
}

std::string decodedName (const std::optional<std::string>& encoded, const std::optional<std::string>& plain)
{
    if (encoded.has_value())
        return tessel::linuxhid::decodeUdevEscapes (*encoded);

    return plain.value_or (std::string());
}

bool sameDisk (const DiskDescription& a, const DiskDescription& b)
{
    return a.bsdName == b.bsdName && a.mountPath == b.mountPath;
}

bool contains (const std::vector<DiskDescription>& disks, const DiskDescription& disk)
{
    return std::any_of (disks.begin(), disks.end(), [&] (const auto& other) { return sameDisk (other, disk); });
}
} // namespace

std::string decodeMountEscapes (std::string_view encoded)
{
    std::string decoded;
    decoded.reserve (encoded.size());

    for (size_t i = 0; i < encoded.size(); ++i)
    {
        if (encoded[i] == '\\' && i + 3 < encoded.size() && isOctalDigit (encoded[i + 1])
            && isOctalDigit (encoded[i + 2]) && isOctalDigit (encoded[i + 3]))
        {
            const auto value = (encoded[i + 1] - '0') * 64 + (encoded[i + 2] - '0') * 8 + (encoded[i + 3] - '0');

            if (value < 256)
            {
                decoded.push_back ((char) value);
                i += 3;
                continue;
            }
        }

        decoded.push_back (encoded[i]);
    }

    return decoded;
}

std::vector<MountEntry> parseMountInfo (std::string_view text)
{
    std::vector<MountEntry> entries;

    while (! text.empty())
    {
        const auto end = std::min (text.find ('\n'), text.size());
        const auto fields = fieldsOf (text.substr (0, end));
        text.remove_prefix (std::min (end + 1, text.size()));

        // ID, parent ID, major:minor, root, mount point, options, optional
        // fields..., "-", file system type, source, super options.
        const auto separator = std::find (fields.begin(), fields.end(), std::string_view ("-"));

        if (fields.size() < 7 || separator == fields.end() || separator - fields.begin() < 6)
            continue;

        if (fields[2].find (':') == std::string_view::npos)
            continue;

        entries.push_back ({ std::string (fields[2]), decodeMountEscapes (fields[4]) });
    }

    return entries;
}

DiskDescription describe (const BlockDeviceText& device, const std::string& mountPoint)
{
    DiskDescription disk;
    disk.bsdName = utf8 (device.kernelName);
    disk.deviceVendor = utf8 (withoutBlanks (decodedName (device.vendorEncProperty, device.scsiVendor)));
    disk.deviceModel = utf8 (withoutBlanks (decodedName (device.modelEncProperty, device.scsiModel)));
    disk.volumeName = utf8 (decodedName (device.labelEncProperty, device.labelProperty));
    disk.mountPath = utf8 (mountPoint);
    disk.usbDevice = utf8 (device.usbDeviceSysPath.value_or (std::string()));
    return disk;
}

std::vector<DiskDescription> mountedDisks (const std::vector<BlockDeviceText>& devices,
                                           const std::vector<MountEntry>& mounts)
{
    std::vector<DiskDescription> disks;

    for (const auto& device : devices)
    {
        const auto mount = std::find_if (mounts.begin(), mounts.end(),
                                         [&] (const auto& entry) { return entry.deviceNumber == device.deviceNumber; });

        if (mount != mounts.end())
            disks.push_back (describe (device, mount->mountPoint));
    }

    return disks;
}

std::vector<DiskDescription> unmountedFileSystems (const std::vector<BlockDeviceText>& devices,
                                                   const std::vector<MountEntry>& mounts)
{
    std::vector<DiskDescription> disks;

    for (const auto& device : devices)
    {
        const bool mounted =
            std::any_of (mounts.begin(), mounts.end(),
                         [&] (const auto& entry) { return entry.deviceNumber == device.deviceNumber; });

        if (! mounted && device.fsUsageProperty == std::optional<std::string> ("filesystem"))
            disks.push_back (describe (device, {}));
    }

    return disks;
}

DiskChanges changesBetween (const std::vector<DiskDescription>& before, const std::vector<DiskDescription>& after)
{
    DiskChanges changes;

    for (const auto& disk : before)
        if (! contains (after, disk))
            changes.gone.push_back (disk);

    for (const auto& disk : after)
        if (! contains (before, disk))
            changes.appeared.push_back (disk);

    return changes;
}
} // namespace tessel::linuxdisk
