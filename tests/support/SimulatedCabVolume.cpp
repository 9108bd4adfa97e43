#include "support/SimulatedCabVolume.h"

#include "cab/FileList.h"

namespace tessel::sim
{
bool writeIrWav (const juce::File& file, int bytes)
{
    juce::MemoryBlock data ((size_t) bytes, true);
    data.copyFrom ("RIFF....WAVEfmt ", 0, 16);
    data.copyFrom ("data", 36, 4);
    for (auto [at, value] : { std::pair<int, int> { 4, bytes - 8 }, { 16, 16 }, { 20, 0x10001 }, { 24, 48000 },
                              { 28, 96000 }, { 32, 0x100002 }, { 40, bytes - 44 } })
    {
        const auto field = juce::ByteOrder::swapIfBigEndian ((uint32_t) value);
        data.copyFrom (&field, at, 4);
    }
    return file.replaceWithData (data.getData(), data.getSize());
}

int addCabVolume (SimulatedDisks& disks, const juce::StringArray& irFiles, bool mountNow)
{
    const int disk = disks.addPedalVolume ("TESSEL", false);
    const auto root = disks.volumeRoot (disk);

    ListInfor index;
    for (const auto& name : irFiles)
    {
        writeIrWav (root.getChildFile (name));
        appendEntry (index, name);
    }

    writeFileListTo (root, index);

    if (mountNow)
        disks.mount (disk);

    return disk;
}
} // namespace tessel::sim
