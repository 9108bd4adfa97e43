#include <fnmatch.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "pages/PageControls.h"
#include "pages/PatchFiles.h"
#include "support/EditorHarness.h"

using tessel::sim::Fault;
using tessel::sim::PedalSimulator;
using tessel::test::EditorHarness;
using tessel::test::pumpPending;

namespace
{
/** A connected pedal, a scratch folder of this process's own, and quick imports. */
struct PatchFileBench
{
    explicit PatchFileBench (DeviceKind kind, int patches)
    {
        pedal = h.connect (kind, patches);
        folder.createDirectory();
    }

    ~PatchFileBench() { folder.deleteRecursively(); }

    juce::File file (const juce::String& name, const juce::MemoryBlock& data = {}) const
    {
        auto f = folder.getChildFile (name);
        if (data.getSize() > 0)
            f.replaceWithData (data.getData(), data.getSize());
        return f;
    }

    /** What went out since the last look, as (code, first payload byte, length). */
    std::vector<std::tuple<int, int, int>> sent()
    {
        pumpPending();
        std::vector<std::tuple<int, int, int>> frames;
        for (auto& f : pedal->takeReceivedFrames())
            frames.push_back ({ f.code(), f[2], f.length() });
        return frames;
    }

    juce::MemoryBlock recordsOf (std::initializer_list<int> patches) const
    {
        juce::MemoryBlock data;
        for (auto p : patches)
            data.append (pedal->recordOf (p).data(), pedal->recordOf (p).size());
        return data;
    }

    juce::MemoryBlock bytesOf (const juce::File& f) const
    {
        juce::MemoryBlock data;
        f.loadFileAsData (data);
        return data;
    }

    void select (juce::ListBox& list, int row)
    {
        list.selectRow (row);
        sent();
        h.messages().clear();
    }

    EditorHarness h;
    std::shared_ptr<PedalSimulator> pedal;
    juce::File folder { juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("tessel-patches-" + juce::Uuid().toString()) };
    const juce::ScopedValueSetter<int> noSettling { PatchFiles::settleAfterImportMs, 0 };
};
} // namespace

TEST (PatchFiles, AllPatchesGoOutToAFileAndBackIntoThePedalByteForByte)
{
    PatchFileBench bench (kindAMP, 12);
    auto& page = bench.h.ampPage();
    // An older, longer file is replaced whole, with no temporary file left behind.
    const auto target = bench.file ("all.tessel", juce::MemoryBlock (500, true));

    bench.h.dialogs().fileAnswers.push_back (target);
    ExportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    ASSERT_EQ (bench.h.messages().size(), 1u);
    EXPECT_EQ (bench.h.messages()[0].text, PatchFiles::exportPrompt);
    EXPECT_EQ (bench.h.dialogs().savePatterns, juce::StringArray (PatchFiles::filePattern));
    EXPECT_EQ (bench.bytesOf (target), bench.recordsOf ({ 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 }));
    EXPECT_EQ (bench.folder.getNumberOfChildFiles (juce::File::findFiles, "*"), 1);

    // The pedal's patches change; importing the file puts them back.
    const auto before = bench.pedal->parametersOf (4);
    bench.pedal->selectPatchOnPedal (4);
    bench.pedal->turnKnob (0, 3);
    pumpPending();
    ASSERT_NE (bench.pedal->parametersOf (4), before);

    bench.select (page.patchList, 6);
    bench.h.dialogs().fileAnswers.push_back (target);
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    EXPECT_EQ (bench.h.messages().back().text, PatchFiles::ampImportPrompt);
    EXPECT_EQ (bench.pedal->parametersOf (4), before);

    // Each record to its own patch, eight bytes for an AMP, then away from
    // the selected patch and back, so the pedal loads what it got.
    std::vector<std::tuple<int, int, int>> expected;
    for (int i = 0; i < 12; ++i)
        expected.push_back ({ Command::writePreset, i, 8 });
    expected.push_back ({ Command::selectPatch, 5, 1 });
    expected.push_back ({ Command::selectPatch, 6, 1 });
    EXPECT_EQ (bench.sent(), expected);

    // An export that cannot be written says so.
    const auto nowhere = bench.file ("no-such-folder").getChildFile ("patches.tessel");
    bench.h.dialogs().fileAnswers.push_back (nowhere);
    ExportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    EXPECT_EQ (bench.h.messages().back().text, PatchFiles::exportFailedMessage);
    EXPECT_FALSE (nowhere.exists());

    // An import the pedal leaves part-way says it did not complete.
    bench.pedal->injectFault (Fault::unplug, Command::writePreset, 4);
    bench.h.dialogs().fileAnswers.push_back (target);
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    EXPECT_EQ (bench.h.messages().back().text, PatchFiles::importIncompleteMessage);
}

TEST (PatchFiles, OnePatchGoesToTheSelectedPatchAndARecordInAnAllFileToItsOwn)
{
    PatchFileBench bench (kindDLY, 9);
    auto& page = *bench.h.hub().dlyView;
    const auto single = bench.file ("three.tessel");

    bench.select (page.patchList, 3);
    bench.h.dialogs().fileAnswers.push_back (single);
    ExportMenuItemChosenCallback (PatchFiles::onePatch, &page);

    // The page's record as the dump brought it: the pedal's current patch then was 0.
    auto expected = bench.recordsOf ({ 3 });
    static_cast<uint8_t*> (expected.getData())[PatchRecord::currentByte] = 0;
    EXPECT_EQ (bench.bytesOf (single), expected);

    bench.select (page.patchList, 7);
    bench.h.dialogs().fileAnswers.push_back (single);
    ImportMenuItemChosenCallback (PatchFiles::onePatch, &page);
    EXPECT_EQ (bench.sent(), (std::vector<std::tuple<int, int, int>> { { Command::writePreset, 7, 12 }, { Command::selectPatch, 7, 1 } }));
    EXPECT_EQ (bench.pedal->parametersOf (7), bench.pedal->parametersOf (3));

    // In an all-patches file a record goes to the patch number it carries, wherever it lies.
    bench.h.dialogs().fileAnswers.push_back (bench.file ("shuffled.tessel", bench.recordsOf ({ 8, 3, 0, 1, 2, 4, 5, 6, 7 })));
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    const auto frames = bench.sent();
    ASSERT_GE (frames.size(), 2u);
    EXPECT_EQ (std::get<1> (frames[0]), 8);
    EXPECT_EQ (std::get<1> (frames[1]), 3);
}

TEST (PatchFiles, FilesOfTheWrongSizeAreRefusedAndNothingIsSent)
{
    PatchFileBench bench (kindAMP, 12);
    auto& page = bench.h.ampPage();
    bench.select (page.patchList, 0);

    const auto locked = bench.file ("locked.tessel", bench.recordsOf ({ 1 }));
    ASSERT_EQ (::chmod (locked.getFullPathName().toRawUTF8(), 0), 0);
    // Root may read any file: the imports run with an ordinary user's rights.
    const bool root = ::geteuid() == 0;
    if (root)
        ::setfsuid (65534);

    const std::tuple<const char*, int, juce::File> cases[] = {
        { "a MOD or DLY record on the AMP page", PatchFiles::onePatch, bench.file ("effect.tessel", juce::MemoryBlock (14, true)) },
        { "a file of another patch count", PatchFiles::allPatches, bench.file ("eleven.tessel", juce::MemoryBlock (110, true)) },
        { "a file that isn't there", PatchFiles::onePatch, bench.file ("gone.tessel") },
        { "a file that can't be read", PatchFiles::onePatch, locked },
    };

    for (const auto& [why, item, file] : cases)
    {
        SCOPED_TRACE (why);
        bench.h.messages().clear();
        bench.h.dialogs().fileAnswers.push_back (file);
        ImportMenuItemChosenCallback (item, &page);

        ASSERT_EQ (bench.h.messages().size(), 2u);
        EXPECT_EQ (bench.h.messages()[1].title + "|" + bench.h.messages()[1].text, "|" + PatchFiles::wrongFileMessage);
        EXPECT_TRUE (bench.sent().empty());
    }

    if (root)
        ::setfsuid (0);
}

TEST (PatchFiles, APedalPulledOutWhileAPromptOrChooserIsOpenStopsTheOperation)
{
    struct Case
    {
        const char* why;
        bool imports;
        int item;
        int modalsBefore;   // 0: pulled during the prompt, 1: during the chooser
    };

    for (const auto& c : { Case { "export one, prompt", false, PatchFiles::onePatch, 0 },
                           Case { "export one, chooser", false, PatchFiles::onePatch, 1 },
                           Case { "export all, chooser", false, PatchFiles::allPatches, 1 },
                           Case { "import one, chooser", true, PatchFiles::onePatch, 1 },
                           Case { "import all, prompt", true, PatchFiles::allPatches, 0 } })
    {
        SCOPED_TRACE (c.why);
        PatchFileBench bench (kindAMP, 12);
        auto& page = bench.h.ampPage();
        bench.select (page.patchList, 2);
        const auto target = bench.file ("patches.tessel", c.imports ? bench.recordsOf ({ 2 }) : juce::MemoryBlock());
        bench.h.dialogs().fileAnswers.push_back (target);
        bench.h.dialogs().duringModal (c.modalsBefore, [&] { bench.h.unplug (bench.pedal); });
        if (c.imports)
            ImportMenuItemChosenCallback (c.item, &page);
        else
            ExportMenuItemChosenCallback (c.item, &page);

        EXPECT_EQ (bench.h.messages().back().text, PageControls::pedalMissingMessage);
        EXPECT_EQ (target.existsAsFile(), c.imports) << "nothing is written";
        EXPECT_TRUE (bench.sent().empty());
    }
}

TEST (PatchFiles, TheChoosersShowTheSuffixInAnyLetterCase)
{
    // zenity and kdialog take each pattern as a glob that minds letter case.
    const auto patterns = juce::StringArray::fromTokens (PatchFiles::filePattern, ";", {});
    for (auto [name, shown] : { std::pair { "a.tessel", true }, { "a.Tessel", true }, { "a.TESSEL", true },
                                { "a.tesSEL", true }, { "a.tessel.bin", false } })
        EXPECT_EQ (std::any_of (patterns.begin(), patterns.end(), [name = name] (auto& p) { return ::fnmatch (p.toRawUTF8(), name, 0) == 0; }),
                   shown) << name;
}

TEST (PatchFiles, WithNoPatchSelectedOrTheChooserCancelledNothingHappens)
{
    PatchFileBench bench (kindMOD, 4);
    auto& page = *bench.h.hub().modView;
    page.patchList.deselectAllRows();
    bench.sent();

    // One patch needs a selected patch: the user is told, no chooser opens.
    ExportMenuItemChosenCallback (PatchFiles::onePatch, &page);
    ImportMenuItemChosenCallback (PatchFiles::onePatch, &page);
    ASSERT_EQ (bench.h.messages().size(), 2u);
    EXPECT_EQ (bench.h.messages()[0].text, PatchFiles::noPatchSelectedMessage);
    EXPECT_TRUE (bench.h.dialogs().openPatterns.isEmpty() && bench.h.dialogs().savePatterns.isEmpty());

    // All patches with nothing selected: the records go, the selections
    // don't; the modulation page prints each record's place.
    bench.h.dialogs().fileAnswers.push_back (bench.file ("all.tessel", bench.recordsOf ({ 0, 1, 2, 3 })));
    testing::internal::CaptureStdout();
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "0\n1\n2\n3\n");
    const auto frames = bench.sent();
    ASSERT_EQ (frames.size(), 4u);
    for (auto& f : frames)
        EXPECT_EQ (std::get<0> (f), Command::writePreset);

    // A cancelled chooser: the prompt was shown, nothing is written or sent;
    // a dismissed menu does nothing at all.
    bench.select (page.patchList, 1);
    for (int item : { (int) PatchFiles::allPatches, 0 })
    {
        ExportMenuItemChosenCallback (item, &page);
        ImportMenuItemChosenCallback (item, &page);
    }
    EXPECT_EQ (bench.h.messages().size(), 2u);
    EXPECT_TRUE (bench.sent().empty());
}
