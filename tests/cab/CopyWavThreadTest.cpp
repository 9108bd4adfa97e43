#include <gtest/gtest.h>

#include <csignal>
#include <fnmatch.h>
#include <sys/resource.h>

#include "cab/CopyWavThread.h"
#include "support/EditorHarness.h"
#include "support/SimulatedCabVolume.h"

namespace
{
const juce::String tooLarge = "The IR file you selected is too large.";
const juce::String failed = "IR file conversion failed. Please try again.";
const juce::String loaded = "This file has already been loaded:";
const juce::String notDeleted = "The IR files could not be deleted. Please check that the pedal is connected and its "
                                "storage can be written to, then try again.";
const juce::String notSaved = "The IR files could not be saved. Please check that the folder can be written to and "
                              "has free space, then try again.";

/** The pedal's volume, the chosen files and an export folder, all
    temporary; the CAB page stands in as an IrLibraryPage. */
class IrJob : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto recording = std::make_unique<tessel::test::RecordingDialogs>();
        dialogs = recording.get();
        previous = Dialogs::setHandler (std::move (recording));
        fresh();
    }

    void TearDown() override
    {
        Dialogs::setHandler (std::move (previous));
        root.deleteRecursively();
    }

    void fresh()
    {
        root.deleteRecursively();
        root = juce::File::getSpecialLocation (juce::File::tempDirectory)
                   .getChildFile ("tessel-irjob-" + juce::Uuid().toString());
        std::tie (volume, chosen, outside) =
            std::tuple (root.getChildFile ("volume"), root.getChildFile ("chosen"), root.getChildFile ("outside"));
        for (auto& folder : { volume, chosen, outside })
            folder.createDirectory();
        shared.handOver ({});
        dialogs->messages.clear();
        reloads = 0;
    }

    /** A 48 kHz 16-bit mono WAV of exactly `bytes` bytes among the chosen files. */
    juce::File wav (const juce::String& name, int bytes = 2000)
    {
        auto file = chosen.getChildFile (name);
        tessel::sim::writeIrWav (file, bytes);
        return file;
    }

    /** Indexes `names` on the volume, each with a file of its own. */
    void index (const juce::StringArray& names)
    {
        IrTable table;
        for (auto& name : names)
        {
            appendEntry (table, name);
            volume.getChildFile (name).create();
            volume.getChildFile (name).replaceWithText ("old " + name);
        }
        ASSERT_TRUE (writeFileListTo (volume, table));
        shared.handOver (table);
    }

    /** Runs one job to its end as the window would, without the window. */
    void run (const juce::String& mode, const juce::Array<juce::File>& files, std::vector<int> rows = {})
    {
        auto* job = new CopyWavThread();
        std::tie (job->importing, job->mode, job->files) = std::tuple (files.size() > 0 || mode == "Add", mode, files);
        job->view = page (std::move (rows));
        job->run();
        job->threadComplete (false);
    }

    IrLibraryPage page (std::vector<int> rows)
    {
        const auto root = volume.getFullPathName() + "/";
        return { root, &shared, std::move (rows), outside.getFullPathName(), [this] { ++reloads; }, root };
    }

    /** FileList's entries as "name@offset". */
    juce::String listing() const
    {
        juce::StringArray list;
        const auto table = readFileListFrom (volume);
        for (uint32_t i = 0; table.has_value() && i < table->irCount; ++i)
            list.add (table->entries[i].name + "@" + juce::String (table->entries[i].nameOffset));
        return list.joinIntoString (" ");
    }

    /** The volume's files, FileList aside. */
    juce::String onVolume() const
    {
        juce::StringArray names;
        for (auto& file : volume.findChildFiles (juce::File::findFiles, true))
            if (file.getFileName() != "FileList")
                names.add (file.getRelativePathFrom (volume));
        names.sort (false);
        return names.joinIntoString (" ");
    }

    juce::String shown() const { return dialogs->messages.empty() ? juce::String() : dialogs->messages.back().text; }

    juce::File root, volume, chosen, outside;
    SharedIrTable shared;
    tessel::test::RecordingDialogs* dialogs = nullptr;
    std::unique_ptr<DialogHandler> previous;
    int reloads = 0;
};

/** Runs its body with every file write capped at `bytes`, as on a volume
    with that much room left; 0 runs it as it is. */
template <typename Body>
void withRoomFor (rlim_t bytes, Body body)
{
    rlimit saved {};
    ASSERT_EQ (getrlimit (RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    auto capped = saved;
    capped.rlim_cur = bytes > 0 ? bytes : saved.rlim_cur;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &capped), 0);
    body();
    setrlimit (RLIMIT_FSIZE, &saved);
    std::signal (SIGXFSZ, previousHandler);
}
} // namespace

TEST_F (IrJob, EachModeKeepsTheIndexAndTheVolumeInStep)
{
    const juce::StringArray three { "a.wav", "abc.wav", "ab.wav" }; // stored lengths 7, 9, 8
    const juce::String threeListed = "/a.wav@2404 /abc.wav@2411 /ab.wav@2420";
    const juce::StringArray two { "a.wav", "b.wav" };
    const juce::String twoListed = "/a.wav@2404 /b.wav@2411";
    const auto add = CopyWavThread::addMode, replace = CopyWavThread::replaceMode, remove = CopyWavThread::deleteMode;

    struct Row
    {
        const char* mode;
        juce::StringArray before; // indexed, each with its file
        const char* change;       // "+x" puts a stray x on the volume, "-x" takes x off it
        std::vector<int> rows;
        const char* files; // chosen, "name:bytes" or 2000 bytes
        juce::String after, volumeAfter, message;
        int reloads;
        rlim_t room; // 0: no limit
    };
    const Row rows[] = {
        // The third file is not looked at once the second stops the job.
        { add,
          { "o.wav" },
          "",
          {},
          "a.wav:1048576 b.wav:1048577 c.wav",
          "/o.wav@2404 /a.wav@2411",
          "a.wav o.wav",
          tooLarge,
          1,
          0 },
        { add, { "a.wav" }, "", {}, "a.wav b.wav", twoListed, "a.wav b.wav", loaded + "a.wav, ", 1, 0 },
        // Into an empty table a file already there is passed over in silence.
        { add, {}, "+a.wav", {}, "a.wav", "", "a.wav", "", 0, 0 },
        // A full volume: no room for the IR, or for FileList after it.
        { add, two, "", {}, "n.wav:20000", twoListed, "a.wav b.wav", failed, 0, 3000 },
        { add, two, "", {}, "n.wav:500", twoListed, "a.wav b.wav", failed, 1, 1000 },

        { replace, three, "", { 1 }, "abc.wav", threeListed, "a.wav ab.wav abc.wav", loaded + "abc.wav, ", 0, 0 },
        { replace, three, "", { 0 }, "n.wav:500", threeListed, "a.wav ab.wav abc.wav", failed, 1, 1000 },
        // A row without a chosen file keeps its IR; surplus files are ignored.
        { replace,
          three,
          "",
          { 2, 0 },
          "x.wav",
          "/x.wav@2404 /abc.wav@2411 /ab.wav@2420",
          "ab.wav abc.wav x.wav",
          "",
          1,
          0 },
        { replace,
          three,
          "",
          { 0, 1 },
          "x.wav yy.wav z.wav",
          "/x.wav@2404 /yy.wav@2411 /ab.wav@2419",
          "ab.wav x.wav yy.wav",
          "",
          1,
          0 },
        // The old IR's file was missing and the new one has its name.
        { replace, three, "-a.wav", { 0 }, "a.wav", threeListed, "a.wav ab.wav abc.wav", "", 1, 0 },

        // A name that leads off the volume's root is dropped, its file left alone.
        { remove,
          { "a.wav", "bb.wav", "sub/x.wav", "dddd.wav", "e.wav" },
          "",
          { 2, 0, 7 },
          "",
          "/bb.wav@2404 /dddd.wav@2412 /e.wav@2422",
          "bb.wav dddd.wav e.wav sub/x.wav",
          "",
          1,
          0 },
        { remove, { "a.wav", "a.wav" }, "", { 0 }, "", "/a.wav@2404", "a.wav", "", 1, 0 },
        { remove, {}, "", { 0 }, "", "", "", "", 1, 0 },
        { remove, two, "", { 0 }, "", twoListed, "a.wav b.wav", notDeleted, 1, 1000 },
    };
    for (size_t i = 0; i < std::size (rows); ++i)
    {
        auto& r = rows[i];
        SCOPED_TRACE ("row " + juce::String ((int) i));
        fresh();
        index (r.before);
        const juce::String change (r.change);
        if (change.startsWith ("-"))
            volume.getChildFile (change.substring (1)).deleteFile();
        else if (change.isNotEmpty())
            volume.getChildFile (change.substring (1)).replaceWithText ("old " + change.substring (1));
        juce::Array<juce::File> files;
        for (auto& token : juce::StringArray::fromTokens (r.files, false))
            files.add (
                wav (token.upToFirstOccurrenceOf (":", false, false),
                     token.containsChar (':') ? token.fromFirstOccurrenceOf (":", false, false).getIntValue() : 2000));

        withRoomFor (r.room, [&] { run (r.mode, files, r.rows); });

        EXPECT_EQ (listing(), r.after);
        EXPECT_EQ (onVolume(), r.volumeAfter);
        EXPECT_EQ (shown(), r.message);
        EXPECT_EQ (reloads, r.reloads);
        EXPECT_EQ (shared.current()->irCount, (uint32_t) juce::StringArray::fromTokens (r.after, false).size());
        // Nothing indexed is overwritten in place.
        for (auto& name : r.before)
            EXPECT_TRUE (! change.isEmpty() || ! volume.getChildFile (name).existsAsFile()
                         || volume.getChildFile (name).loadFileAsString() == "old " + name)
                << name;
    }
}

TEST_F (IrJob, ADamagedSlotNeitherStopsEditsNorLetsTheIndexFilesBeTakenForIRs)
{
    // A FileList whose second slot claims 5000 bytes: the page lists it
    // without a name, as LoadDisk reads it.
    index ({ "a.wav", "x.wav", "b.wav" });
    juce::MemoryBlock bytes;
    volume.getChildFile ("FileList").loadFileAsData (bytes);
    static_cast<uint8_t*> (bytes.getData())[16] = 0x88;
    static_cast<uint8_t*> (bytes.getData())[17] = 0x13;
    volume.getChildFile ("FileList").replaceWithData (bytes.getData(), bytes.getSize());
    shared.handOver (*readFileListFrom (volume));

    run (CopyWavThread::addMode, { wav ("n.wav") });
    EXPECT_EQ (shown(), "");
    EXPECT_EQ (listing(), "/a.wav@2404 /b.wav@2411 /n.wav@2418");
    EXPECT_EQ (shared.current()->irCount, 3u);
    run (CopyWavThread::deleteMode, {}, { 0 });
    EXPECT_EQ (listing(), "/b.wav@2404 /n.wav@2411");

    // Rows named after the volume's own files: deleting or replacing them
    // never takes FileList or Para.bin, and no chosen file is copied over them.
    fresh();
    index ({ "FileList", "a.wav", "Para.bin" });
    run (CopyWavThread::deleteMode, {}, { 0 });
    EXPECT_EQ (listing(), "/a.wav@2404 /Para.bin@2411");
    run (CopyWavThread::replaceMode, { wav ("r.wav") }, { 1 });
    EXPECT_EQ (listing(), "/a.wav@2404 /r.wav@2411");
    EXPECT_EQ (volume.getChildFile ("Para.bin").loadFileAsString(), "old Para.bin");
    run (CopyWavThread::addMode, { wav ("FileList.new"), wav ("para.BIN") });
    EXPECT_EQ (shown(), loaded + "FileList.new, para.BIN, ");
    EXPECT_EQ (listing(), "/a.wav@2404 /r.wav@2411");
    EXPECT_EQ (onVolume(), "Para.bin a.wav r.wav");
}

TEST_F (IrJob, AListThatIsNotTheVolumesIndexIsNeverWrittenOverItButReadAgain)
{
    // The volume indexes a.wav and b.wav; the list shows none of them (its
    // reads gave up), or them in another order.
    struct Case
    {
        juce::String mode;
        juce::StringArray listed;
        std::vector<int> rows;
    };
    for (const auto& c : { Case { CopyWavThread::addMode, {}, {} }, Case { CopyWavThread::deleteMode, {}, { 0 } },
                           Case { CopyWavThread::replaceMode, { "b.wav", "a.wav" }, { 0 } } })
    {
        SCOPED_TRACE (c.mode);
        fresh();
        index ({ "a.wav", "b.wav" });
        IrTable table;
        for (auto& name : c.listed)
            appendEntry (table, name);
        shared.handOver (table);

        run (c.mode, c.mode == CopyWavThread::deleteMode ? juce::Array<juce::File>() : juce::Array { wav ("n.wav") },
             c.rows);

        EXPECT_EQ (listing(), "/a.wav@2404 /b.wav@2411");
        EXPECT_EQ (onVolume(), "a.wav b.wav");
        EXPECT_EQ (shown(),
                   "The IR list shown is not the one on the pedal's volume now, so nothing was done. The "
                   "list is read again from the volume; please check it, then try again.");
        EXPECT_EQ (reloads, 1);
    }

    // No index at all, and an empty list: the new IR is the first indexed.
    fresh();
    run (CopyWavThread::addMode, { wav ("n.wav") });
    EXPECT_EQ (listing(), "/n.wav@2404");
}

TEST_F (IrJob, AddNeverTakesTheListPast300)
{
    juce::StringArray names;
    for (int i = 0; i < 299; ++i)
        names.add (juce::String (i) + ".wav");
    index (names);

    run (CopyWavThread::addMode, { wav ("a.wav"), wav ("b.wav") });
    EXPECT_EQ (shown(), "The Cab Models list is full. Tessel IR Cab is able to store 300 IR cab files.");
    EXPECT_EQ (juce::StringArray::fromTokens (onVolume(), false).size(), 299);

    // A name already on the volume adds nothing, so it doesn't count.
    run (CopyWavThread::addMode, { wav ("a.wav"), wav ("0.wav") });
    EXPECT_EQ (readFileListFrom (volume)->irCount, 300u);
    EXPECT_EQ (shown(), loaded + "0.wav, ");
}

TEST_F (IrJob, ExportReplacesAFileOfTheSameNameWholeOrNotAtAll)
{
    index ({ "a.wav", "b.wav", "c.wav" });
    volume.getChildFile ("b.wav").deleteFile();
    outside.getChildFile ("a.wav").replaceWithText ("an older and longer file of the same name");

    withRoomFor (5, [&] { run (CopyWavThread::exportMode, {}, { 0, 2 }); });
    EXPECT_EQ (outside.getChildFile ("a.wav").loadFileAsString(), "an older and longer file of the same name");
    EXPECT_EQ (shown(), notSaved);
    EXPECT_EQ (reloads, 0);

    run (CopyWavThread::exportMode, {}, { 0, 1, 2 });
    EXPECT_EQ (shown(), "The listed IR files do not exist:/b.wav, ");
    EXPECT_EQ (outside.getChildFile ("a.wav").loadFileAsString(), "old a.wav");
    EXPECT_EQ (outside.getChildFile ("c.wav").loadFileAsString(), "old c.wav");
    EXPECT_EQ (outside.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2);
    EXPECT_EQ (reloads, 1);
}

TEST_F (IrJob, ButtonsAskFirstThenRunTheJobOnItsOwnThreadBehindTheWindow)
{
    index ({ "a.wav", "b.wav" });
    std::vector<int> selection;
    juce::String exportPath = "unchanged";
    const auto reader = [&] { return page (selection); };
    const auto before = shared.current();
    const auto finish = []
    { return tessel::test::pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 20000); };

    // Nothing selected, or cancelled: nothing starts.
    IrLibraryButtons::loadIrFileClicked (reader);
    IrLibraryButtons::saveIrFileClicked (reader, exportPath);
    IrLibraryButtons::deleteClicked (reader);
    IrLibraryButtons::addClicked (reader);
    EXPECT_EQ (dialogs->messages.at (1).text, "Please select at least one IR file.");
    EXPECT_EQ (dialogs->questions.at (0).text, "Are you sure to delete?");
    ASSERT_EQ (dialogs->openPatterns.size(), 1);
    // zenity and kdialog take each pattern as a glob that minds letter case.
    const auto patterns = juce::StringArray::fromTokens (dialogs->openPatterns[0], ";", {});
    for (auto [name, shown] : { std::pair { "a.wav", true },
                                { "A.WAV", true },
                                { "a.Wav", true },
                                { "a.wAV", true },
                                { "a.wav.txt", false } })
        EXPECT_EQ (std::any_of (patterns.begin(), patterns.end(),
                                [name = name] (auto& p) { return ::fnmatch (p.toRawUTF8(), name, 0) == 0; }),
                   shown)
            << name;

    dialogs->fileListAnswers = { { wav ("d.wav") } };
    selection = { 0 };
    IrLibraryButtons::loadIrFileClicked (reader);
    ASSERT_TRUE (finish());
    EXPECT_EQ (before->entries[0].name, "/a.wav"); // the list's table is swapped, never edited
    selection = { 1 };
    dialogs->okAnswers.push_back (true);
    IrLibraryButtons::deleteClicked (reader);
    ASSERT_TRUE (finish());
    EXPECT_EQ (listing(), "/d.wav@2404");
    EXPECT_EQ (shared.current()->irCount, 1u);

    dialogs->fileAnswers.push_back (chosen);
    selection = { 0 };
    IrLibraryButtons::saveIrFileClicked (reader, exportPath);
    ASSERT_TRUE (finish());
    EXPECT_EQ (exportPath, chosen.getFullPathName());
    EXPECT_EQ (chosen.getChildFile ("d.wav").loadFileAsString(), volume.getChildFile ("d.wav").loadFileAsString());
    EXPECT_EQ (reloads, 3);
    EXPECT_EQ (dialogs->messages.size(), 2u);
}

TEST_F (IrJob, AListReadFromAnotherVolumeIsNeverWrittenOntoThisOne)
{
    index ({ "a.wav", "b.wav" });
    const auto before = listing();
    auto stale = page ({ 0 });
    stale.tableVolume = outside.getFullPathName() + "/";
    const auto finish = []
    { return tessel::test::pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 20000); };

    dialogs->okAnswers.push_back (true);
    IrLibraryButtons::deleteClicked ([&] { return stale; });
    ASSERT_TRUE (finish());
    dialogs->fileListAnswers = { { wav ("n.wav") } };
    IrLibraryButtons::addClicked ([&] { return stale; });
    ASSERT_TRUE (finish());

    EXPECT_EQ (shown(), IrLibraryButtons::volumeChangedMessage);
    EXPECT_EQ (dialogs->messages.size(), 2u);
    EXPECT_EQ (listing(), before);
    EXPECT_EQ (onVolume(), "a.wav b.wav");
}
