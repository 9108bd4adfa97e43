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

const uint8_t* image()
{
    return FactoryDiskImage;
}

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

TEST_F (FactoryDiskImageTest, FsckFindsNothingButTheBootSectorLabelThatDiffersFromTheVolumeLabel)
{
    ASSERT_EQ (FactoryDiskImageSize, FactoryDisk::imageSize);

    // The boot sector says "NO NAME" while the root directory carries the
    // volume's label, as on a volume relabelled after formatting; the
    // cluster count pins the geometry down.
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

    auto names =
        juce::StringArray::fromLines (run ({ "mdir", "-i", imageFile().getFullPathName(), "-b", "::" }).second);
    names.removeEmptyStrings();
    for (auto& line : names)
        line = line.fromFirstOccurrenceOf ("::/", false, false);
    ASSERT_EQ (names.size(), 102);

    const auto copied =
        run ({ "mcopy", "-n", "-i", imageFile().getFullPathName(), "::*", extracted().getFullPathName() + "/" });
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
        std::unique_ptr<juce::AudioFormatReader> reader (
            wav.createReaderFor (new juce::MemoryInputStream (out, true), true));
        ASSERT_NE (reader, nullptr) << name;
        EXPECT_EQ (std::make_tuple (reader->sampleRate, reader->numChannels, reader->bitsPerSample),
                   std::make_tuple (48000.0, 1u, 16u));
        EXPECT_TRUE (reader->lengthInSamples >= 2048 && reader->lengthInSamples < 4096) << name;
    }
    EXPECT_EQ (extracted().getChildFile ("Para.bin").getSize(), 1400);

    juce::MemoryBlock list;
    extracted().getChildFile ("FileList").loadFileAsData (list);
    ASSERT_EQ (index.irCount, 100u);
    EXPECT_EQ (fileListBytes (index), list);
}

TEST_F (FactoryDiskImageTest, TheBuildsCheckTakesOnlyAnImageOfThePedalsSizeBootSectorAndAReadableFileList)
{
    // The check the build runs on our image, or on the maker's when given one.
    const auto check = [] (const juce::MemoryBlock& bytes)
    {
        const auto file = folder->getChildFile ("checked.img");
        file.replaceWithData (bytes.getData(), bytes.getSize());
        return run ({ TESSEL_DISKIMAGE_TOOL, "--check", file.getFullPathName() });
    };
    const juce::MemoryBlock ours (image(), FactoryDisk::imageSize);
    const auto [code, output] = check (ours);
    EXPECT_EQ (code, 0) << output;

    // FileList's bytes as the tool wrote them, found in the image.
    juce::MemoryBlock list;
    ASSERT_TRUE (sources().getChildFile ("FileList").loadFileAsData (list));
    const auto* start = static_cast<const uint8_t*> (ours.getData());
    const auto listAt = (size_t) (std::search (start, start + ours.getSize(), (const uint8_t*) list.getData(),
                                               (const uint8_t*) list.getData() + list.getSize())
                                  - start);
    const auto rootAt =
        (size_t) (std::search (start, start + ours.getSize(), "FILELIST   ", "FILELIST   " + 11) - start);
    ASSERT_LT (listAt, ours.getSize());

    const std::pair<const char*, std::function<void (juce::MemoryBlock&)>> damaged[] = {
        { "a sector short", [] (auto& b) { b.setSize (b.getSize() - 512); } },
        { "4 sectors to a cluster no more", [] (auto& b) { b[13] = 8; } },
        { "no boot signature", [] (auto& b) { b[511] = 0; } },
        { "no FileList in the root directory", [rootAt] (auto& b) { b[rootAt + 7] = 'X'; } },
        { "FileList counting 301 IRs", [listAt] (auto& b) { b[listAt] = 0x2D; b[listAt + 1] = 1; } },
        { "FileList's first name off its end", [listAt] (auto& b) { b[listAt + 5] = 0x7F; } },
    };
    for (auto& [what, damage] : damaged)
    {
        auto bytes = ours;
        damage (bytes);
        const auto [badCode, badOutput] = check (bytes);
        EXPECT_EQ (badCode, 1) << what;
        EXPECT_TRUE (badOutput.contains ("not a factory volume of the CAB pedal")) << what << ": " << badOutput;
    }
}
