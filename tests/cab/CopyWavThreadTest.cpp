#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include "cab/CopyWavThread.h"
#include "support/EditorHarness.h"

using tessel::test::RecordingDialogs;

namespace
{
const juce::String tooLarge = "The IR file you selected is too large.";
const juce::String failed = "IR file conversion failed. Please try again.";
const juce::String full = "The Cab Models list is full. Tessel IR Cab is able to store 300 IR cab files.";
const juce::String loaded = "This file has already been loaded:";
const juce::String selectFirst = "Please select at least one IR file.";

/** Runs its body with every file write capped at `bytes`, as on a volume
    with that much room left. */
template <typename Body>
void withFilesCappedAt (rlim_t bytes, Body body)
{
    rlimit saved {};
    ASSERT_EQ (getrlimit (RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    auto capped = saved;
    capped.rlim_cur = bytes;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &capped), 0);
    body();
    setrlimit (RLIMIT_FSIZE, &saved);
    std::signal (SIGXFSZ, previousHandler);
}

/** The pedal's volume and a folder of chosen files, both temporary; the
    CAB page stands in as an IrLibraryPage over a SharedIrTable. */
class IrJob : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto recording = std::make_unique<RecordingDialogs>();
        dialogs = recording.get();
        previous = Dialogs::setHandler (std::move (recording));
        fresh();
    }

    void TearDown() override
    {
        Dialogs::setHandler (std::move (previous));
        for (auto& folder : { volume, chosen, outside })
            folder.deleteRecursively();
    }

    /** New, empty folders and table, for the next row of a table. */
    void fresh()
    {
        for (auto* folder : { &volume, &chosen, &outside })
        {
            folder->deleteRecursively();
            *folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("tessel-irjob-" + juce::Uuid().toString());
            folder->createDirectory();
        }
        shared.handOver ({});
        dialogs->messages.clear();
        reloads = 0;
    }

    /** A 48 kHz 16-bit mono WAV of exactly `bytes` bytes among the chosen
        files; under 44 bytes, a file that isn't a WAV at all. */
    juce::File wav (const juce::String& name, int bytes = 2000)
    {
        juce::MemoryOutputStream out;
        if (bytes < 44)
        {
            out << "not a WAV";
        }
        else
        {
            out << "RIFF";
            out.writeInt (bytes - 8);
            out << "WAVEfmt ";
            for (int field : { 16, 0x10001, 48000, 96000, 0x100002 })
                out.writeInt (field);
            out << "data";
            out.writeInt (bytes - 44);
            for (int i = 44; i < bytes; ++i)
                out.writeByte ((char) (i * 7));
        }
        auto file = chosen.getChildFile (name);
        file.replaceWithData (out.getData(), out.getDataSize());
        return file;
    }

    /** Indexes `names` on the volume, each with a file of its own. */
    void index (const juce::StringArray& names)
    {
        IrTable table;
        for (auto& name : names)
        {
            appendEntry (table, name);
            volume.getChildFile (name).replaceWithText ("old " + name);
        }
        ASSERT_TRUE (writeFileListTo (volume, table));
        shared.handOver (table);
    }

    /** Runs one job to its end, as the window would, without the window. */
    void run (const juce::String& mode, const juce::Array<juce::File>& files, std::vector<int> rows = {})
    {
        auto* job = new CopyWavThread();
        job->importing = files.size() > 0 || mode == CopyWavThread::addMode;
        job->mode = mode;
        job->files = files;
        job->view = page (std::move (rows));
        job->run();
        job->threadComplete (false);
    }

    IrLibraryPage page (std::vector<int> rows = {})
    {
        return { volume.getFullPathName() + "/", &shared, std::move (rows), outside.getFullPathName(),
                 [this] { ++reloads; } };
    }

    juce::StringArray indexed() const
    {
        juce::StringArray names;
        const auto table = readFileListFrom (volume);
        for (uint32_t i = 0; table.has_value() && i < table->irCount; ++i)
            names.add (table->entries[i].name);
        return names;
    }

    std::vector<uint32_t> offsets() const
    {
        std::vector<uint32_t> list;
        const auto table = readFileListFrom (volume);
        for (uint32_t i = 0; table.has_value() && i < table->irCount; ++i)
            list.push_back (table->entries[i].nameOffset);
        return list;
    }

    /** The volume's files, FileList aside, in name order. */
    juce::StringArray onVolume() const
    {
        juce::StringArray names;
        for (auto& file : volume.findChildFiles (juce::File::findFilesAndDirectories, false))
            if (file.getFileName() != "FileList")
                names.add (file.getFileName());
        names.sort (false);
        return names;
    }

    juce::String shown() const { return dialogs->messages.empty() ? juce::String() : dialogs->messages.back().text; }

    juce::File volume, chosen, outside;
    SharedIrTable shared;
    RecordingDialogs* dialogs = nullptr;
    std::unique_ptr<DialogHandler> previous;
    int reloads = 0;
};
} // namespace

TEST_F (IrJob, AddCopiesEachFileThenIndexesItAndStopsAtTheFirstFailedCheck)
{
    struct Row
    {
        juce::StringArray before;   // indexed first, with their files
        juce::StringArray strays;   // on the volume, not indexed
        std::vector<std::pair<const char*, int>> files;
        juce::StringArray after;
        std::vector<uint32_t> offsets;
        juce::String message;
        int reloads;
    };
    const Row rows[] = {
        // The third file is not looked at once the second stops the job.
        { { "old.wav" }, {}, { { "a.wav", 1048576 }, { "b.wav", 1048577 }, { "c.wav", 2000 } },
          { "/old.wav", "/a.wav" }, { 2404, 2413 }, tooLarge, 1 },
        { { "a.wav" }, {}, { { "a.wav", 2000 }, { "b.wav", 2000 } }, { "/a.wav", "/b.wav" }, { 2404, 2411 },
          loaded + "a.wav, ", 1 },
        // Into an empty table a file already there is passed over in silence.
        { {}, { "a.wav" }, { { "a.wav", 2000 } }, {}, {}, "", 0 },
        { {}, {}, { { "ab.wav", 2000 }, { "c.wav", 2000 } }, { "/ab.wav", "/c.wav" }, { 2404, 2412 }, "", 1 },
    };
    for (auto& r : rows)
    {
        SCOPED_TRACE (r.after.joinIntoString (" "));
        fresh();
        index (r.before);
        for (auto& name : r.strays)
            volume.getChildFile (name).replaceWithText ("old " + name);
        juce::Array<juce::File> files;
        for (auto& [name, bytes] : r.files)
            files.add (wav (name, bytes));

        run (CopyWavThread::addMode, files);

        EXPECT_EQ (indexed(), r.after);
        EXPECT_EQ (offsets(), r.offsets);
        EXPECT_EQ (shown(), r.message);
        EXPECT_EQ (reloads, r.reloads);
        EXPECT_EQ (shared.current()->irCount, (uint32_t) r.after.size());

        // Nothing on the volume is overwritten, and only indexed files are added.
        auto expected = r.strays;
        for (auto& name : r.after)
            expected.addIfNotAlreadyThere (name.substring (1));
        expected.sort (false);
        EXPECT_EQ (onVolume(), expected);
        for (auto* kept : { &r.before, &r.strays })
            for (auto& name : *kept)
                EXPECT_EQ (volume.getChildFile (name).loadFileAsString(), "old " + name);
    }
}

TEST_F (IrJob, AddNeverTakesTheListPast300)
{
    juce::StringArray names;
    for (int i = 0; i < 299; ++i)
        names.add (juce::String (i) + ".wav");
    index (names);

    run (CopyWavThread::addMode, { wav ("a.wav"), wav ("b.wav") });
    EXPECT_EQ (shown(), full);
    EXPECT_EQ (onVolume().size(), 299);
    EXPECT_EQ (reloads, 0);

    // A name already on the volume adds nothing, so it doesn't count.
    run (CopyWavThread::addMode, { wav ("a.wav"), wav ("0.wav") });
    EXPECT_EQ (indexed().size(), 300);
    EXPECT_EQ (shown(), loaded + "0.wav, ");
}

TEST_F (IrJob, ReplaceSwapsTheSelectedIrsOnlyOnceTheNewOnesAreIndexed)
{
    struct Row
    {
        std::vector<int> rows;
        std::vector<std::pair<const char*, int>> files;
        juce::StringArray after;
        std::vector<uint32_t> offsets;
        juce::String message;
    };
    // Stored lengths 7, 9 and 8; "/abcd.wav" takes 10.
    const Row rows[] = {
        { { 0 }, { { "abcd.wav", 2000 } }, { "/abcd.wav", "/abc.wav", "/ab.wav" }, { 2404, 2414, 2423 }, "" },
        { { 1 }, { { "abc.wav", 2000 } }, { "/a.wav", "/abc.wav", "/ab.wav" }, { 2404, 2411, 2420 }, loaded + "abc.wav, " },
        { { 0 }, { { "abcd.wav", 1048577 } }, { "/a.wav", "/abc.wav", "/ab.wav" }, { 2404, 2411, 2420 }, tooLarge },
        { { 0 }, { { "abcd.wav", 20 } }, { "/a.wav", "/abc.wav", "/ab.wav" }, { 2404, 2411, 2420 }, failed },
        // A row without a chosen file keeps its IR; rows are taken in order.
        { { 2, 0 }, { { "x.wav", 2000 } }, { "/x.wav", "/abc.wav", "/ab.wav" }, { 2404, 2411, 2420 }, "" },
        { { 0, 1 }, { { "x.wav", 2000 }, { "yy.wav", 2000 }, { "z.wav", 2000 } }, { "/x.wav", "/yy.wav", "/ab.wav" },
          { 2404, 2411, 2419 }, "" },
    };
    for (auto& r : rows)
    {
        SCOPED_TRACE (r.after.joinIntoString (" ") + " " + r.message);
        fresh();
        index ({ "a.wav", "abc.wav", "ab.wav" });
        juce::Array<juce::File> files;
        for (auto& [name, bytes] : r.files)
            files.add (wav (name, bytes));

        run (CopyWavThread::replaceMode, files, r.rows);

        EXPECT_EQ (indexed(), r.after);
        EXPECT_EQ (offsets(), r.offsets);
        EXPECT_EQ (shown(), r.message);
        auto expected = r.after;
        for (auto& name : expected)
            name = name.substring (1);
        expected.sort (false);
        EXPECT_EQ (onVolume(), expected);
        if (r.after.contains ("/abc.wav"))
        {
            EXPECT_EQ (volume.getChildFile ("abc.wav").loadFileAsString(), "old abc.wav");
        }
    }
}

TEST_F (IrJob, DeleteRemovesTheRowsFromTheIndexThenTheirFiles)
{
    // An entry whose name leads off the volume is dropped, its file left alone.
    const auto escape = chosen.getChildFile ("escape.wav");
    index ({ "a.wav", "bb.wav", "../" + chosen.getFileName() + "/escape.wav", "dddd.wav", "e.wav" });

    run (CopyWavThread::deleteMode, {}, { 2, 0, 7 });

    EXPECT_EQ (indexed(), juce::StringArray ("/bb.wav", "/dddd.wav", "/e.wav"));
    EXPECT_EQ (offsets(), (std::vector<uint32_t> { 2404, 2412, 2422 }));
    EXPECT_EQ (onVolume(), juce::StringArray ("bb.wav", "dddd.wav", "e.wav"));
    EXPECT_TRUE (escape.existsAsFile());
    EXPECT_EQ (shared.current()->irCount, 3u);
    EXPECT_EQ (shown(), "");
    EXPECT_EQ (reloads, 1);

    // A second entry naming the same file keeps it.
    fresh();
    index ({ "a.wav", "a.wav" });
    run (CopyWavThread::deleteMode, {}, { 0 });
    EXPECT_EQ (indexed(), juce::StringArray ("/a.wav"));
    EXPECT_EQ (onVolume(), juce::StringArray ("a.wav"));

    fresh();
    index ({});
    run (CopyWavThread::deleteMode, {}, { 0 });
    EXPECT_EQ (indexed(), juce::StringArray());
    EXPECT_EQ (shown(), "");
}

TEST_F (IrJob, ExportReplacesFilesOfTheSameNameAndListsMissingOnes)
{
    index ({ "a.wav", "b.wav", "c.wav" });
    volume.getChildFile ("b.wav").deleteFile();
    outside.getChildFile ("a.wav").replaceWithText ("an older and much longer file of the same name");

    run (CopyWavThread::exportMode, {}, { 0, 1, 2 });

    EXPECT_EQ (shown(), "The listed IR files do not exist:/b.wav, ");
    EXPECT_EQ (outside.getChildFile ("a.wav").loadFileAsString(), "old a.wav");
    EXPECT_EQ (outside.getChildFile ("c.wav").loadFileAsString(), "old c.wav");
    EXPECT_EQ (outside.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2);
    EXPECT_EQ (reloads, 1);
}

TEST_F (IrJob, AFullVolumeLeavesNoPartialFileAndAnIndexNamingOnlyFilesThatExist)
{
    struct Row
    {
        const char* mode;
        int wavBytes;
        rlim_t room;
        juce::String message;
    };
    // Room for the new IR but not for FileList (2404 bytes and more), or for neither.
    const Row rows[] = {
        { CopyWavThread::addMode, 20000, 3000, failed },
        { CopyWavThread::addMode, 500, 1000, failed },
        { CopyWavThread::replaceMode, 20000, 3000, failed },
        { CopyWavThread::replaceMode, 500, 1000, failed },
        { CopyWavThread::exportMode, 0, 5, "" },
    };
    for (auto& r : rows)
    {
        SCOPED_TRACE (juce::String (r.mode) + " " + juce::String (r.wavBytes));
        fresh();
        index ({ "a.wav", "b.wav" });
        outside.getChildFile ("a.wav").replaceWithText ("kept");
        const auto before = volume.getChildFile ("FileList").loadFileAsString();
        juce::Array<juce::File> files;
        if (r.wavBytes > 0)
            files.add (wav ("new.wav", r.wavBytes));

        withFilesCappedAt (r.room, [&] { run (r.mode, files, { 0 }); });

        EXPECT_EQ (shown(), r.message);
        EXPECT_EQ (volume.getChildFile ("FileList").loadFileAsString(), before);
        EXPECT_EQ (onVolume(), juce::StringArray ("a.wav", "b.wav"));
        EXPECT_EQ (outside.getChildFile ("a.wav").loadFileAsString(), "kept");
        EXPECT_EQ (outside.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
        EXPECT_EQ (shared.current()->irCount, 2u);
    }
}

TEST_F (IrJob, ButtonsAskFirstThenRunTheJobOnItsOwnThreadBehindTheWindow)
{
    index ({ "a.wav", "b.wav" });
    std::vector<int> selection;
    juce::String exportPath = "unchanged";
    auto reader = [&] { return page (selection); };

    // Nothing selected, or cancelled: nothing starts.
    IrLibraryButtons::loadIrFileClicked (reader);
    IrLibraryButtons::saveIrFileClicked (reader, exportPath);
    IrLibraryButtons::deleteClicked (reader);
    IrLibraryButtons::addClicked (reader);
    EXPECT_EQ (CopyWavThread::jobsInProgress(), 0);
    ASSERT_EQ (dialogs->messages.size(), 2u);
    EXPECT_EQ (dialogs->messages[1].text, selectFirst);
    EXPECT_EQ (dialogs->questions.at (0).text, "Are you sure to delete?");
    EXPECT_EQ (dialogs->openPatterns, juce::StringArray ("*.wav"));
    EXPECT_EQ (exportPath, "unchanged");

    const auto before = shared.current();
    const auto finish = [&] { return tessel::test::pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 20000); };

    dialogs->fileListAnswers.push_back ({ wav ("c.wav") });
    IrLibraryButtons::addClicked (reader);
    ASSERT_TRUE (finish());
    EXPECT_EQ (before->irCount, 2u);
    EXPECT_EQ (shared.current()->irCount, 3u);

    selection = { 0 };
    dialogs->fileListAnswers.push_back ({ wav ("d.wav") });
    IrLibraryButtons::loadIrFileClicked (reader);
    ASSERT_TRUE (finish());

    selection = { 1 };
    dialogs->okAnswers.push_back (true);
    IrLibraryButtons::deleteClicked (reader);
    ASSERT_TRUE (finish());
    EXPECT_EQ (indexed(), juce::StringArray ("/d.wav", "/c.wav"));

    const auto saved = outside.getChildFile ("saved");
    saved.createDirectory();
    dialogs->fileAnswers.push_back (saved);
    selection = { 0 };
    IrLibraryButtons::saveIrFileClicked (reader, exportPath);
    ASSERT_TRUE (finish());
    EXPECT_EQ (exportPath, saved.getFullPathName());
    juce::MemoryBlock copy, original;
    saved.getChildFile ("d.wav").loadFileAsData (copy);
    volume.getChildFile ("d.wav").loadFileAsData (original);
    EXPECT_TRUE (copy == original && copy.getSize() > 44);
    EXPECT_EQ (reloads, 4);
    EXPECT_EQ (dialogs->messages.size(), 2u);
}
