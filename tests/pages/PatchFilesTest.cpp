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
/** A connected pedal, a scratch folder, and quick all-patches imports. */
struct PatchFileBench
{
    explicit PatchFileBench (DeviceKind kind, int patches = 12)
    {
        pedal = h.connect (kind, patches);
        folder.createDirectory();
        pedal->clearReceivedFrames();
    }

    ~PatchFileBench() { folder.deleteRecursively(); }

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    std::vector<HidPacket> sent()
    {
        pumpPending();
        return pedal->takeReceivedFrames();
    }

    juce::MemoryBlock bytesOf (const juce::File& f) const
    {
        juce::MemoryBlock data;
        f.loadFileAsData (data);
        return data;
    }

    EditorHarness h;
    std::shared_ptr<PedalSimulator> pedal;
    // Other test processes run at the same time: the folder is this process's own.
    juce::File folder { juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("tessel-patches-" + juce::Uuid().toString()) };
    const juce::ScopedValueSetter<int> noSettling { PatchFiles::settleAfterImportMs, 0 };
};

juce::MemoryBlock recordsOf (const PedalSimulator& pedal, std::initializer_list<int> patches)
{
    juce::MemoryBlock data;
    for (auto p : patches)
    {
        const auto record = pedal.recordOf (p);
        data.append (record.data(), record.size());
    }
    return data;
}
} // namespace

TEST (PatchFiles, AllPatchesGoOutToAFileAndBackIntoThePedalByteForByte)
{
    PatchFileBench bench (kindAMP, 12);
    auto& page = bench.h.ampPage();
    const auto target = bench.file ("all.tessel");

    bench.h.dialogs().fileAnswers.push_back (target);
    ExportMenuItemChosenCallback (PatchFiles::allPatches, &page);

    ASSERT_EQ (bench.h.messages().size(), 1u);
    EXPECT_EQ (bench.h.messages()[0].text, PatchFiles::exportPrompt);
    EXPECT_EQ (bench.h.dialogs().savePatterns[0], PatchFiles::filePattern);
    EXPECT_EQ (bench.bytesOf (target).getSize(), 120u);
    EXPECT_EQ (bench.bytesOf (target),
               recordsOf (*bench.pedal, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 }));

    // The pedal's patches change; importing the file puts them back.
    const auto before = bench.pedal->parametersOf (4);
    bench.pedal->selectPatchOnPedal (4);
    bench.pedal->turnKnob (0, 3);
    bench.pedal->turnKnob (1, 4);
    pumpPending();
    bench.sent();
    ASSERT_NE (bench.pedal->parametersOf (4), before);

    page.patchList.selectRow (6);
    bench.sent();
    bench.h.dialogs().fileAnswers.push_back (target);
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);

    EXPECT_EQ (bench.h.messages().back().text, PatchFiles::ampImportPrompt);
    EXPECT_EQ (bench.pedal->parametersOf (4), before);

    const auto frames = bench.sent();
    ASSERT_EQ (frames.size(), 14u);
    for (int i = 0; i < 12; ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (frames[(size_t) i].code(), Command::writePreset);
        EXPECT_EQ (frames[(size_t) i].length(), 8);   // an AMP record carries eight
        EXPECT_EQ (frames[(size_t) i][2], i);         // the record's own patch number
    }
    // Away from the selected patch and back, so the pedal loads what it got.
    EXPECT_EQ (frames[12].code(), Command::selectPatch);
    EXPECT_EQ (frames[12][2], 5);
    EXPECT_EQ (frames[13].code(), Command::selectPatch);
    EXPECT_EQ (frames[13][2], 6);
}

TEST (PatchFiles, OnePatchGoesToTheSelectedPatchAndARecordInAnAllFileToItsOwn)
{
    PatchFileBench bench (kindDLY, 9);
    auto& page = *bench.h.hub().dlyView;
    const auto single = bench.file ("three.tessel");

    page.patchList.selectRow (3);
    bench.sent();
    bench.h.dialogs().fileAnswers.push_back (single);
    ExportMenuItemChosenCallback (PatchFiles::onePatch, &page);

    // The page's record as the dump brought it: the pedal's current patch
    // then was 0, whatever it is now.
    auto expected = recordsOf (*bench.pedal, { 3 });
    static_cast<uint8_t*> (expected.getData())[PatchRecord::currentByte] = 0;
    EXPECT_EQ (bench.bytesOf (single), expected);

    page.patchList.selectRow (7);
    bench.sent();
    bench.h.dialogs().fileAnswers.push_back (single);
    ImportMenuItemChosenCallback (PatchFiles::onePatch, &page);

    const auto frames = bench.sent();
    ASSERT_EQ (frames.size(), 2u);
    EXPECT_EQ (frames[0].code(), Command::writePreset);
    EXPECT_EQ (frames[0].length(), 12);
    EXPECT_EQ (frames[0][2], 7);
    const auto parameters = bench.pedal->parametersOf (3);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ (frames[0][3 + i], parameters[(size_t) i]) << i;
    EXPECT_EQ (frames[1].code(), Command::selectPatch);
    EXPECT_EQ (frames[1][2], 7);
    EXPECT_EQ (bench.pedal->parametersOf (7), parameters);

    // In an all-patches file a record goes to the patch number it carries,
    // wherever it lies in the file.
    auto shuffled = recordsOf (*bench.pedal, { 8, 3, 0, 1, 2, 4, 5, 6, 7 });
    const auto all = bench.file ("shuffled.tessel");
    all.replaceWithData (shuffled.getData(), shuffled.getSize());
    bench.h.dialogs().fileAnswers.push_back (all);
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);

    const auto allFrames = bench.sent();
    ASSERT_GE (allFrames.size(), 2u);
    EXPECT_EQ (allFrames[0][2], 8);
    EXPECT_EQ (allFrames[1][2], 3);
}

TEST (PatchFiles, FilesOfTheWrongSizeAreRefusedAndNothingIsSent)
{
    PatchFileBench bench (kindAMP, 12);
    auto& page = bench.h.ampPage();
    page.patchList.selectRow (0);
    bench.sent();

    const auto fourteen = bench.file ("effect.tessel");
    fourteen.replaceWithData (juce::MemoryBlock (14, true).getData(), 14);
    const auto elevenRecords = bench.file ("eleven.tessel");
    elevenRecords.replaceWithData (juce::MemoryBlock (110, true).getData(), 110);
    const auto locked = bench.file ("locked.tessel");
    locked.replaceWithData (bench.pedal->recordOf (1).data(), 10);
    ASSERT_EQ (::chmod (locked.getFullPathName().toRawUTF8(), 0), 0);

    // Root may read any file: the imports run with an ordinary user's rights.
    const bool root = ::geteuid() == 0;
    if (root)
        ::setfsuid (65534);

    struct Case
    {
        const char* why;
        int item;
        juce::File file;
    };

    for (const auto& c : { Case { "a MOD or DLY record on the AMP page", PatchFiles::onePatch, fourteen },
                           Case { "a file of another patch count", PatchFiles::allPatches, elevenRecords },
                           Case { "a file that isn't there", PatchFiles::onePatch, bench.file ("gone.tessel") },
                           Case { "a file that can't be read", PatchFiles::onePatch, locked } })
    {
        SCOPED_TRACE (c.why);
        bench.h.messages().clear();
        bench.h.dialogs().fileAnswers.push_back (c.file);
        ImportMenuItemChosenCallback (c.item, &page);

        ASSERT_EQ (bench.h.messages().size(), 2u);
        EXPECT_EQ (bench.h.messages()[1].text, PatchFiles::wrongFileMessage);
        EXPECT_EQ (bench.h.messages()[1].title, "");
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
        page.patchList.selectRow (2);

        const auto target = bench.file ("patches.tessel");
        if (c.imports)
            target.replaceWithData (recordsOf (*bench.pedal, { 2 }).getData(), 10);

        bench.sent();
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

TEST (PatchFiles, AnImportThePedalLeavesPartWaySaysItDidNotComplete)
{
    PatchFileBench bench (kindAMP, 12);
    auto& page = bench.h.ampPage();
    const auto all = bench.file ("all.tessel");
    const auto data = recordsOf (*bench.pedal, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 });
    all.replaceWithData (data.getData(), data.getSize());

    bench.pedal->injectFault (Fault::unplug, Command::writePreset, 4);
    bench.h.dialogs().fileAnswers.push_back (all);
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);

    EXPECT_EQ (bench.h.messages().back().text, PatchFiles::importIncompleteMessage);
}

TEST (PatchFiles, TheChoosersShowTheSuffixInAnyLetterCase)
{
    // zenity and kdialog take each pattern as a glob that minds letter case.
    juce::StringArray patterns;
    patterns.addTokens (PatchFiles::filePattern, ";", {});
    const auto shown = [&] (const char* name)
    {
        return std::any_of (patterns.begin(), patterns.end(),
                            [=] (const juce::String& p) { return ::fnmatch (p.toRawUTF8(), name, 0) == 0; });
    };

    for (auto* name : { "a.tessel", "a.Tessel", "a.TESSEL", "a.tesSEL" })
        EXPECT_TRUE (shown (name)) << name;
    EXPECT_FALSE (shown ("a.tessel.bin"));
}

TEST (PatchFiles, AnEffectPatchFitsEitherEffectPedal)
{
    // A one-patch file from the DLY page is 14 bytes, as the MOD page's are.
    PatchFileBench bench (kindMOD, 6);
    auto& page = *bench.h.hub().modView;
    page.patchList.selectRow (2);
    bench.sent();

    auto dlyPedal = PedalSimulator::create (kindDLY);
    const auto record = dlyPedal->recordOf (5);
    const auto file = bench.file ("from-dly.tessel");
    file.replaceWithData (record.data(), record.size());

    bench.h.dialogs().fileAnswers.push_back (file);
    ImportMenuItemChosenCallback (PatchFiles::onePatch, &page);

    const auto frames = bench.sent();
    ASSERT_EQ (frames.size(), 2u);
    EXPECT_EQ (frames[0].code(), Command::writePreset);
    EXPECT_EQ (frames[0][2], 2);
}

TEST (PatchFiles, ExportingOverALongerFileLeavesExactlyTheExport)
{
    PatchFileBench bench (kindAMP, 3);
    auto& page = bench.h.ampPage();
    const auto target = bench.file ("old.tessel");
    target.replaceWithText (juce::String::repeatedString ("old patches ", 100));

    bench.h.dialogs().fileAnswers.push_back (target);
    ExportMenuItemChosenCallback (PatchFiles::allPatches, &page);

    EXPECT_EQ (target.getSize(), 30);
    EXPECT_EQ (bench.bytesOf (target), recordsOf (*bench.pedal, { 0, 1, 2 }));
    // No temporary file is left behind, hidden or not.
    EXPECT_EQ (bench.folder.getNumberOfChildFiles (juce::File::findFiles, "*"), 1);
}

TEST (PatchFiles, AnExportThatCannotBeWrittenSaysSo)
{
    PatchFileBench bench (kindAMP, 3);
    auto& page = bench.h.ampPage();
    const auto nowhere = bench.file ("no-such-folder").getChildFile ("patches.tessel");

    bench.h.dialogs().fileAnswers.push_back (nowhere);
    ExportMenuItemChosenCallback (PatchFiles::allPatches, &page);

    ASSERT_EQ (bench.h.messages().size(), 2u);
    EXPECT_EQ (bench.h.messages()[1].text, PatchFiles::exportFailedMessage);
    EXPECT_FALSE (nowhere.exists());
}

TEST (PatchFiles, WithNoPatchSelectedOrTheChooserCancelledNothingHappens)
{
    PatchFileBench bench (kindAMP, 4);
    auto& page = bench.h.ampPage();
    page.patchList.deselectAllRows();
    bench.sent();

    // One patch needs a selected patch: the user is told, no chooser opens.
    ExportMenuItemChosenCallback (PatchFiles::onePatch, &page);
    ImportMenuItemChosenCallback (PatchFiles::onePatch, &page);
    ASSERT_EQ (bench.h.messages().size(), 2u);
    EXPECT_EQ (bench.h.messages()[0].text, PatchFiles::noPatchSelectedMessage);
    EXPECT_TRUE (bench.h.dialogs().openPatterns.isEmpty());
    EXPECT_TRUE (bench.h.dialogs().savePatterns.isEmpty());

    // All patches with nothing selected: the records go, the selections don't.
    const auto all = bench.file ("all.tessel");
    const auto data = recordsOf (*bench.pedal, { 0, 1, 2, 3 });
    all.replaceWithData (data.getData(), data.getSize());
    bench.h.dialogs().fileAnswers.push_back (all);
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    const auto frames = bench.sent();
    ASSERT_EQ (frames.size(), 4u);
    for (auto& f : frames)
        EXPECT_EQ (f.code(), Command::writePreset);

    // A cancelled chooser: the prompt was shown, nothing is written or sent.
    page.patchList.selectRow (1);
    bench.sent();
    bench.h.messages().clear();
    ExportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    EXPECT_EQ (bench.h.messages().size(), 2u);
    EXPECT_TRUE (bench.sent().empty());

    // A dismissed menu does nothing at all.
    ImportMenuItemChosenCallback (0, &page);
    ExportMenuItemChosenCallback (0, &page);
    EXPECT_EQ (bench.h.messages().size(), 2u);
}

TEST (PatchFiles, TheModulationPagePrintsEachImportedRecord)
{
    PatchFileBench bench (kindMOD, 3);
    auto& page = *bench.h.hub().modView;
    const auto all = bench.file ("mod.tessel");
    const auto data = recordsOf (*bench.pedal, { 0, 1, 2 });
    all.replaceWithData (data.getData(), data.getSize());

    bench.h.dialogs().fileAnswers.push_back (all);
    testing::internal::CaptureStdout();
    ImportMenuItemChosenCallback (PatchFiles::allPatches, &page);
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "0\n1\n2\n");
}
