#pragma once

#include <cstddef>
#include <cstdint>

// The CAB pedal's factory volume: the raw image of the pedal's whole external
// flash, a FAT12 volume with the factory IRs, FileList and Para.bin. It is
// built by tools/diskimage at build time, or is the maker's own image when
// the build is given one (TESSEL_FACTORY_IMAGE), and linked in as it is.

extern "C"
{
/** The image's first byte. */
extern const uint8_t FactoryDiskImage[];

/** The number of bytes linked in; FactoryDisk::imageSize unless the build broke. */
extern const uint64_t FactoryDiskImageSize;

/** True for our own image, whose IRs are synthetic placeholders under the
    factory cabinets' names; false when the build was given the maker's. */
extern const bool FactoryDiskImageHasPlaceholderIrs;
}

namespace FactoryDisk
{
/** The pedal's external flash, all of which the image covers. */
constexpr size_t imageSize = 8388608;
} // namespace FactoryDisk
