#include <gtest/gtest.h>

#include <juce_audio_formats/juce_audio_formats.h>

#include "cab/FactoryDiskImage.h"

// The factory volume as tools that know nothing of ours see it: Debian's
// fsck.fat checks the file system, mtools lists and extracts the files, and
// what comes out is compared with the files the image tool wrote out.

namespace
{
constexpr size_t fileSystemEnd = 14335 * 512;
constexpr size_t labelOffset = 43;

/** Runs a program; its exit code and everything it printed. */
std::pair<int, juce::String> run (const juce::StringArray& command)
{
    juce::ChildProcess process;
    if (! process.start (command))
        return { -1, "could not start " + command[0] };

    const auto output = process.readAllProcessOutput();
    process.waitForProcessToFinish (60000);
    return { (int) process.getExitCode(), output };
}

const uint8_t* image() { return FactoryDiskImage; }

class FactoryDiskImageTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = new juce::File (juce::File::getSpecialLocation (juce::File::tempDirectory)
                                     .getChildFile ("tessel-disk-" + juce::Uuid().toString()));
        sources().createDirectory();
        extracted().createDirectory();
        imageFile().replaceWithData (image(), FactoryDisk::imageSize);

        // The tool again, with the files it put in, into a fresh image.
        toolResult = run ({ TESSEL_DISKIMAGE_TOOL, TESSEL_SOURCE_DIR "/tools/catalog/catalog.txt",
                            folder->getChildFile ("again.img").getFullPathName(), sources().getFullPathName() });
    }

    static void TearDownTestSuite()
    {
        folder->deleteRecursively();
        delete folder;
        folder = nullptr;
    }

    static juce::File sources() { return folder->getChildFile ("sources"); }
    static juce::File extracted() { return folder->getChildFile ("extracted"); }
    static juce::File imageFile() { return folder->getChildFile ("factory.img"); }

    static juce::StringArray listed()
    {
        auto lines = juce::StringArray::fromLines (run ({ "mdir", "-i", imageFile().getFullPathName(), "-b", "::" }).second);
        lines.removeEmptyStrings();
        for (auto& line : lines)
            line = line.fromFirstOccurrenceOf ("::/", false, false);
        return lines;
    }

    static inline juce::File* folder = nullptr;
    static inline std::pair<int, juce::String> toolResult;
};
} // namespace

TEST_F (FactoryDiskImageTest, BootSectorSizeAndFreeSpaceAreAsThePedalFormatsIt)
{
    ASSERT_EQ (FactoryDiskImageSize, FactoryDisk::imageSize);

    struct Field
    {
        size_t offset;
        std::vector<uint8_t> bytes;
    };

    const auto text = [] (const char* t) { return std::vector<uint8_t> (t, t + strlen (t)); };
    // What fsck.fat checks and its cluster count pins down (sector size,
    // reserved sectors, FATs, root entries, media) is left to it.
    const Field fields[] = {
        { 0, { 0xEB, 0x3C, 0x90 } },
        { 3, text ("MSDOS5.0") },
        { 13, { 4 } },                       // sectors per cluster
        { 19, { 0xFF, 0x37 } },              // 14,335 sectors
        { 24, { 1, 0, 1, 0, 0, 0, 0, 0 } },  // sectors per track, heads, hidden sectors
        { 36, { 0x80 } },
        { 38, { 0x29 } },
        { labelOffset, text ("NO NAME    FAT12   ") },
        { 510, { 0x55, 0xAA } },
    };

    for (const auto& field : fields)
        EXPECT_TRUE (std::equal (field.bytes.begin(), field.bytes.end(), image() + field.offset))
            << "boot sector at " << field.offset;

    // After the file system: erased flash, but for the mark in the last block.
    const auto* mark = image() + FactoryDisk::imageSize - 32;
    EXPECT_TRUE (std::all_of (image() + fileSystemEnd, mark, [] (uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ (juce::String (reinterpret_cast<const char*> (mark), 32), "TESSEL CAB FACTORY VOLUME");
}

TEST_F (FactoryDiskImageTest, FsckFindsNothingButTheBootSectorLabelThatDiffersFromTheVolumeLabel)
{
    // The boot sector says "NO NAME" while the root directory carries the
    // volume's label, as on a volume relabelled after formatting; fsck.fat
    // notes that, and nothing else.
    const auto [code, output] = run ({ "fsck.fat", "-n", imageFile().getFullPathName() });
    EXPECT_EQ (code, 1) << output;
    EXPECT_TRUE (output.contains ("no label in boot sector, but there is volume label 'TESSEL DISK'")) << output;
    EXPECT_TRUE (output.contains ("103 files, 356/3569 clusters")) << output;

    juce::MemoryBlock relabelled (image(), FactoryDisk::imageSize);
    relabelled.copyFrom ("TESSEL DISK", labelOffset, 11);
    const auto copy = folder->getChildFile ("relabelled.img");
    copy.replaceWithData (relabelled.getData(), relabelled.getSize());

    const auto [cleanCode, cleanOutput] = run ({ "fsck.fat", "-n", copy.getFullPathName() });
    EXPECT_EQ (cleanCode, 0) << cleanOutput;
}

TEST_F (FactoryDiskImageTest, MtoolsListsAndExtractsEveryFileAsTheToolMadeIt)
{
    ASSERT_EQ (toolResult.first, 0) << toolResult.second;

    // The build is repeatable: the same tool makes the same bytes again.
    juce::MemoryBlock again;
    ASSERT_TRUE (folder->getChildFile ("again.img").loadFileAsData (again));
    EXPECT_TRUE (again.matches (image(), FactoryDisk::imageSize));

    EXPECT_TRUE (run ({ "mlabel", "-i", imageFile().getFullPathName(), "-s", "::" }).second.contains ("TESSEL DISK"));

    const auto names = listed();
    ASSERT_EQ (names.size(), 102);
    EXPECT_EQ (names[0], "RADIO 1x5.wav");
    EXPECT_EQ (names[100], "FileList");
    EXPECT_EQ (names[101], "Para.bin");

    const auto copied = run ({ "mcopy", "-n", "-i", imageFile().getFullPathName(), "::*", extracted().getFullPathName() + "/" });
    ASSERT_EQ (copied.first, 0) << copied.second;

    EXPECT_EQ (sources().getNumberOfChildFiles (juce::File::findFiles), 102);
    for (const auto& name : names)
    {
        juce::MemoryBlock source, out;
        EXPECT_TRUE (sources().getChildFile (name).loadFileAsData (source)) << name;
        EXPECT_TRUE (extracted().getChildFile (name).loadFileAsData (out)) << name;
        EXPECT_TRUE (source.getSize() > 0 && source == out) << name;
    }

    juce::MemoryBlock para;
    extracted().getChildFile ("Para.bin").loadFileAsData (para);
    EXPECT_EQ (para.getSize(), 1400u);
}

TEST_F (FactoryDiskImageTest, FileListIndexesTheWavFilesInDirectoryOrderAndEachIsAShortMonoIr)
{
    const auto names = listed();
    juce::MemoryBlock list;
    ASSERT_TRUE (sources().getChildFile ("FileList").loadFileAsData (list));
    const auto* b = static_cast<const uint8_t*> (list.getData());

    ASSERT_EQ (juce::ByteOrder::littleEndianInt (b), 100u);
    uint32_t expectedOffset = 2404;
    for (int i = 0; i < 100; ++i)
    {
        const auto offset = juce::ByteOrder::littleEndianInt (b + 4 + 8 * i);
        const auto length = juce::ByteOrder::littleEndianInt (b + 8 + 8 * i);
        const auto stored = "/" + names[i];
        EXPECT_EQ (offset, expectedOffset) << i;
        EXPECT_EQ (length, (uint32_t) stored.getNumBytesAsUTF8() + 1) << i;
        EXPECT_EQ (juce::String::fromUTF8 (reinterpret_cast<const char*> (b + offset)), stored) << i;
        expectedOffset += length;

        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatReader> reader (
            wav.createReaderFor (sources().getChildFile (names[i]).createInputStream().release(), true));
        ASSERT_NE (reader, nullptr) << names[i];
        EXPECT_EQ (reader->sampleRate, 48000.0);
        EXPECT_EQ (reader->numChannels, 1u);
        EXPECT_EQ (reader->bitsPerSample, 16u);
        EXPECT_TRUE (reader->lengthInSamples >= 2048 && reader->lengthInSamples < 4096) << names[i];
    }
    EXPECT_EQ (list.getSize(), (size_t) expectedOffset);
    EXPECT_TRUE (std::all_of (b + 4 + 800, b + 2404, [] (uint8_t x) { return x == 0; }));
}
