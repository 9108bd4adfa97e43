#include <gtest/gtest.h>

#include <juce_audio_formats/juce_audio_formats.h>

#include "cab/FactoryDiskImage.h"
#include "cab/FileList.h"

// The factory volume as tools that know nothing of ours see it: Debian's
// fsck.fat checks the file system, mtools lists and extracts the files, and
// what comes out is compared with the files the image tool wrote out.

namespace
{
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

    static inline juce::File* folder = nullptr;
    static inline std::pair<int, juce::String> toolResult;
};
} // namespace

TEST_F (FactoryDiskImageTest, BootSectorSizeAndFreeSpaceAreAsThePedalFormatsIt)
{
    ASSERT_EQ (FactoryDiskImageSize, FactoryDisk::imageSize);

    // What fsck.fat checks and its cluster count pins down (sector size,
    // sectors per cluster, reserved sectors, FATs, root entries, media) is left to it.
    const std::pair<size_t, std::string> fields[] = {
        { 0, "\xEB\x3C\x90MSDOS5.0" }, { 19, "\xFF\x37" },  // 14,335 sectors
        { 24, std::string ("\1\0\1\0\0\0\0\0", 8) },        // sectors per track, heads, hidden sectors
        { 36, "\x80" }, { 38, "\x29" }, { labelOffset, "NO NAME    FAT12   " }, { 510, "\x55\xAA" },
    };
    for (const auto& [offset, bytes] : fields)
        EXPECT_EQ (std::string ((const char*) image() + offset, bytes.size()), bytes) << "boot sector at " << offset;

    // After the file system: erased flash, but for the mark in the last block.
    const auto* mark = image() + FactoryDisk::imageSize - 32;
    EXPECT_TRUE (std::all_of (image() + 14335 * 512, mark, [] (uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ (juce::String (reinterpret_cast<const char*> (mark), 32), "TESSEL CAB FACTORY VOLUME");
}

TEST_F (FactoryDiskImageTest, FsckFindsNothingButTheBootSectorLabelThatDiffersFromTheVolumeLabel)
{
    // The boot sector says "NO NAME" while the root directory carries the
    // volume's label, as on a volume relabelled after formatting.
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

TEST_F (FactoryDiskImageTest, MtoolsExtractsEveryFileAsTheToolMadeItAndFileListIndexesTheWavsInDirectoryOrder)
{
    ASSERT_EQ (toolResult.first, 0) << toolResult.second;

    // The build is repeatable: the same tool makes the same bytes again.
    juce::MemoryBlock again;
    ASSERT_TRUE (folder->getChildFile ("again.img").loadFileAsData (again));
    EXPECT_TRUE (again.matches (image(), FactoryDisk::imageSize));

    auto names = juce::StringArray::fromLines (run ({ "mdir", "-i", imageFile().getFullPathName(), "-b", "::" }).second);
    names.removeEmptyStrings();
    for (auto& line : names)
        line = line.fromFirstOccurrenceOf ("::/", false, false);
    ASSERT_EQ (names.size(), 102);
    EXPECT_EQ (names[0], "RADIO 1x5.wav");
    EXPECT_EQ (names[100], "FileList");
    EXPECT_EQ (names[101], "Para.bin");

    const auto copied = run ({ "mcopy", "-n", "-i", imageFile().getFullPathName(), "::*", extracted().getFullPathName() + "/" });
    ASSERT_EQ (copied.first, 0) << copied.second;
    EXPECT_EQ (sources().getNumberOfChildFiles (juce::File::findFiles), 102);
    ListInfor index;
    for (const auto& name : names)
    {
        juce::MemoryBlock source, out;
        EXPECT_TRUE (sources().getChildFile (name).loadFileAsData (source)) << name;
        EXPECT_TRUE (extracted().getChildFile (name).loadFileAsData (out)) << name;
        EXPECT_TRUE (source.getSize() > 0 && source == out) << name;
        if (! name.endsWith (".wav"))
            continue;
        appendEntry (index, name);

        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (new juce::MemoryInputStream (out, true), true));
        ASSERT_NE (reader, nullptr) << name;
        EXPECT_EQ (std::make_tuple (reader->sampleRate, reader->numChannels, reader->bitsPerSample), std::make_tuple (48000.0, 1u, 16u));
        EXPECT_TRUE (reader->lengthInSamples >= 2048 && reader->lengthInSamples < 4096) << name;
    }
    EXPECT_EQ (extracted().getChildFile ("Para.bin").getSize(), 1400);

    // The layout of FileList's bytes is checked with the index's own tests.
    juce::MemoryBlock list;
    extracted().getChildFile ("FileList").loadFileAsData (list);
    ASSERT_EQ (index.irCount, 100u);
    EXPECT_EQ (fileListBytes (index), list);
}
