#include <numeric>

#include <fnmatch.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/PageBench.h"
#include "app/ConnectionSequence.h"
#include "cab/KVCABView.h"
#include "pagekit/PageControls.h"
#include "pagekit/PatchFiles.h"

namespace
{
using Sent = std::vector<std::tuple<int, int, int>>;

/** A connected pedal, a scratch folder of this process's own, and quick imports. */
struct PatchFileBench : Connected
{
    PatchFileBench (DeviceKind kind, int patches)
        : Connected (kind, patches)
    {
        folder.createDirectory();
    }
    explicit PatchFileBench (std::shared_ptr<PedalSimulator> p)
        : Connected (std::move (p))
    {
        folder.createDirectory();
        pedal->clearReceivedFrames();
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
    Sent sent()
    {
        Sent frames;
        for (auto& f : Connected::sent())
            frames.push_back ({ f[0], f.size() > 1 ? f[1] : 0, (int) f.size() - 1 });
        return frames;
    }

    juce::MemoryBlock recordsOf (const std::vector<int>& patches) const
    {
        juce::MemoryBlock data;
        for (auto p : patches)
            data.append (pedal->recordOf (p).data(), pedal->recordOf (p).size());
        return data;
    }

    static juce::MemoryBlock bytesOf (const juce::File& f)
    {
        juce::MemoryBlock data;
        f.loadFileAsData (data);
        return data;
    }

    /** Chooses an item of the page's Import or Export menu, the chooser answering `answer`. */
    template <typename Page>
    void run (bool imports, int item, Page& page, const juce::File& answer = {})
    {
        if (answer != juce::File())
            h.dialogs().fileAnswers.push_back (answer);
        imports ? ImportMenuItemChosenCallback (item, &page) : ExportMenuItemChosenCallback (item, &page);
    }

    juce::String lastMessage() { return h.messages().empty() ? "" : h.messages().back().text; }

    void select (juce::ListBox& list, int row)
    {
        list.selectRow (row);
        sent();
        h.messages().clear();
    }

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

    bench.run (false, PatchFiles::allPatches, page, target);
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
    bench.run (true, PatchFiles::allPatches, page, target);
    EXPECT_EQ (bench.lastMessage(), PatchFiles::ampImportPrompt);
    EXPECT_EQ (bench.pedal->parametersOf (4), before);

    // Each record to its own patch, then away from the selected patch and back.
    Sent expected (12);
    for (int i = 0; i < 12; ++i)
        expected[(size_t) i] = { Command::writePreset, i, 8 };
    expected.insert (expected.end(), { { Command::selectPatch, 5, 1 }, { Command::selectPatch, 6, 1 } });
    EXPECT_EQ (bench.sent(), expected);

    // An export that cannot be written says so.
    const auto nowhere = bench.file ("no-such-folder").getChildFile ("patches.tessel");
    bench.run (false, PatchFiles::allPatches, page, nowhere);
    EXPECT_EQ (bench.lastMessage(), PatchFiles::exportFailedMessage);
    EXPECT_FALSE (nowhere.exists());

    // An import the pedal leaves part-way says it did not complete.
    bench.pedal->injectFault (Fault::unplug, Command::writePreset, 4);
    bench.run (true, PatchFiles::allPatches, page, target);
    EXPECT_EQ (bench.lastMessage(), PatchFiles::importIncompleteMessage);
}

TEST (PatchFiles, OnePatchGoesToTheSelectedPatchAndARecordInAnAllFileToItsOwn)
{
    PatchFileBench bench (kindDLY, 9);
    auto& page = bench.h.hub().dlyPage();
    const auto single = bench.file ("three.tessel");

    bench.select (page.patchList, 3);
    bench.run (false, PatchFiles::onePatch, page, single);

    // The page's record as the dump brought it: the pedal's current patch then was 0.
    auto expected = bench.recordsOf ({ 3 });
    static_cast<uint8_t*> (expected.getData())[PatchRecord::currentByte] = 0;
    EXPECT_EQ (bench.bytesOf (single), expected);

    bench.select (page.patchList, 7);
    bench.run (true, PatchFiles::onePatch, page, single);
    EXPECT_EQ (bench.sent(), (Sent { { Command::writePreset, 7, 12 }, { Command::selectPatch, 7, 1 } }));
    EXPECT_EQ (bench.pedal->parametersOf (7), bench.pedal->parametersOf (3));

    // In an all-patches file a record goes to the patch number it carries, wherever it lies.
    bench.run (true, PatchFiles::allPatches, page,
               bench.file ("shuffled.tessel", bench.recordsOf ({ 8, 3, 0, 1, 2, 4, 5, 6, 7 })));
    const auto frames = bench.sent();
    ASSERT_GE (frames.size(), 2u);
    EXPECT_EQ (std::make_pair (std::get<1> (frames[0]), std::get<1> (frames[1])), std::make_pair (8, 3));
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
        { "a MOD or DLY record on the AMP page", PatchFiles::onePatch,
          bench.file ("effect.tessel", juce::MemoryBlock (14, true)) },
        { "a file of another patch count", PatchFiles::allPatches,
          bench.file ("eleven.tessel", juce::MemoryBlock (110, true)) },
        { "a file that isn't there", PatchFiles::onePatch, bench.file ("gone.tessel") },
        { "a file that can't be read", PatchFiles::onePatch, locked },
    };

    for (const auto& [why, item, file] : cases)
    {
        SCOPED_TRACE (why);
        bench.h.messages().clear();
        bench.run (true, item, page, file);

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
        int modalsBefore;
    }; // 0: pulled during the prompt, 1: during the chooser

    for (const auto& c : { Case { "export one, prompt", false, PatchFiles::onePatch, 0 },
                           Case { "export one, chooser", false, PatchFiles::onePatch, 1 },
                           Case { "import one, chooser", true, PatchFiles::onePatch, 1 },
                           Case { "import all, prompt", true, PatchFiles::allPatches, 0 } })
    {
        SCOPED_TRACE (c.why);
        PatchFileBench bench (kindAMP, 12);
        auto& page = bench.h.ampPage();
        bench.select (page.patchList, 2);
        const auto target = bench.file ("patches.tessel", c.imports ? bench.recordsOf ({ 2 }) : juce::MemoryBlock());
        bench.h.dialogs().duringModal (c.modalsBefore, [&] { bench.h.unplug (bench.pedal); });
        bench.run (c.imports, c.item, page, target);

        EXPECT_EQ (bench.lastMessage(), PageControls::pedalMissingMessage);
        EXPECT_EQ (target.existsAsFile(), c.imports) << "nothing is written";
        EXPECT_TRUE (bench.sent().empty());
    }
}

TEST (PatchFiles, TheChoosersShowTheSuffixInAnyLetterCase)
{
    // zenity and kdialog take each pattern as a glob that minds letter case.
    const auto patterns = juce::StringArray::fromTokens (PatchFiles::filePattern, ";", {});
    for (auto [name, shown] : { std::pair { "a.tessel", true },
                                { "a.Tessel", true },
                                { "a.TESSEL", true },
                                { "a.tesSEL", true },
                                { "a.tessel.bin", false } })
        EXPECT_EQ (std::any_of (patterns.begin(), patterns.end(),
                                [name = name] (auto& p) { return ::fnmatch (p.toRawUTF8(), name, 0) == 0; }),
                   shown)
            << name;
}

TEST (PatchFiles, WithNoPatchSelectedOrTheChooserCancelledNothingHappens)
{
    PatchFileBench bench (kindMOD, 4);
    auto& page = bench.h.hub().modPage();
    page.patchList.deselectAllRows();
    bench.sent();

    // One patch needs a selected patch: the user is told, no chooser opens.
    bench.run (false, PatchFiles::onePatch, page);
    bench.run (true, PatchFiles::onePatch, page);
    ASSERT_EQ (bench.h.messages().size(), 2u);
    EXPECT_EQ (bench.h.messages()[0].text, PatchFiles::noPatchSelectedMessage);
    EXPECT_TRUE (bench.h.dialogs().openPatterns.isEmpty() && bench.h.dialogs().savePatterns.isEmpty());

    // All patches with nothing selected: the records go, the selections don't.
    testing::internal::CaptureStdout();
    bench.run (true, PatchFiles::allPatches, page, bench.file ("all.tessel", bench.recordsOf ({ 0, 1, 2, 3 })));
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "0\n1\n2\n3\n");
    EXPECT_EQ (bench.sent(),
               (Sent { { Command::writePreset, 0, 12 },
                       { Command::writePreset, 1, 12 },
                       { Command::writePreset, 2, 12 },
                       { Command::writePreset, 3, 12 } }));

    // A cancelled chooser or a dismissed menu: nothing is written or sent.
    bench.select (page.patchList, 1);
    for (int item : { (int) PatchFiles::allPatches, 0 })
        for (bool imports : { false, true })
            bench.run (imports, item, page);
    EXPECT_EQ (bench.h.messages().size(), 2u);
    EXPECT_TRUE (bench.sent().empty());
}

TEST (PatchFiles, APatchSelectedOnThePedalWhileThePromptOrChooserIsOpenStopsOnePatchButNotAll)
{
    struct Case
    {
        const char* why;
        bool imports;
        int modalsBefore;
    }; // 0: stepped during the prompt, 1: during the chooser

    for (const auto& c : { Case { "export one, prompt", false, 0 }, Case { "export one, chooser", false, 1 },
                           Case { "import one, prompt", true, 0 }, Case { "import one, chooser", true, 1 } })
    {
        SCOPED_TRACE (c.why);
        PatchFileBench bench (kindMOD, 12);
        auto& page = bench.h.hub().modPage();
        bench.select (page.patchList, 2);
        const auto before = bench.pedal->parametersOf (9);
        const auto target = bench.file ("patch.tessel", c.imports ? bench.recordsOf ({ 4 }) : juce::MemoryBlock());
        bench.h.dialogs().duringModal (c.modalsBefore,
                                       [&]
                                       {
            bench.pedal->selectPatchOnPedal (9);
            pumpPending();
        });
        bench.run (c.imports, PatchFiles::onePatch, page, target);

        ASSERT_EQ (page.patchList.getSelectedRow(), 9);
        EXPECT_EQ (bench.lastMessage(), PatchFiles::selectionChangedMessage);
        EXPECT_EQ (target.existsAsFile(), c.imports) << "nothing is written";
        EXPECT_TRUE (bench.sent().empty());
        EXPECT_EQ (bench.pedal->parametersOf (9), before);
        EXPECT_EQ (bench.h.dialogs().openPatterns.size() + bench.h.dialogs().savePatterns.size(), c.modalsBefore)
            << "no chooser after the prompt";
    }

    // All patches go wherever the selection is; the pedal is then taken back
    // to the patch selected now.
    PatchFileBench bench (kindAMP, 12);
    auto& page = bench.h.ampPage();
    bench.select (page.patchList, 2);
    bench.h.dialogs().duringModal (1,
                                   [&]
                                   {
        bench.pedal->selectPatchOnPedal (9);
        pumpPending();
    });
    bench.run (true, PatchFiles::allPatches, page,
               bench.file ("all.tessel", bench.recordsOf ({ 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 })));
    const auto frames = bench.sent();
    ASSERT_EQ (frames.size(), 14u);
    EXPECT_EQ (Sent (frames.end() - 2, frames.end()),
               (Sent { { Command::selectPatch, 8, 1 }, { Command::selectPatch, 9, 1 } }));
}

TEST (PatchFiles, AnExportOntoAnExistingFileKeepsItsPermissionsAndWritesThroughALinkToItsTarget)
{
    PatchFileBench bench (kindDLY, 3);
    auto& page = bench.h.hub().dlyPage();
    const auto all = bench.recordsOf ({ 0, 1, 2 });
    const auto modeOf = [] (const juce::File& f)
    {
        struct stat s
        {
        };
        ::stat (f.getFullPathName().toRawUTF8(), &s);
        return s.st_mode & 07777;
    };
    const auto link = [&] (const juce::String& name, const juce::String& to)
    {
        const auto f = bench.file (name);
        EXPECT_EQ (::symlink (to.toRawUTF8(), f.getFullPathName().toRawUTF8()), 0);
        return f;
    };

    const auto secret = bench.file ("secret.tessel", juce::MemoryBlock (500, true));
    ASSERT_EQ (::chmod (secret.getFullPathName().toRawUTF8(), 0600), 0);
    bench.run (false, PatchFiles::allPatches, page, secret);
    EXPECT_EQ (bench.bytesOf (secret), all);
    EXPECT_EQ (modeOf (secret), 0600u);

    // A link, one pointing at a link, one at nothing yet: each file pointed
    // at gets the patches, and the links stay links.
    bench.file ("kept").createDirectory();
    const auto kept = bench.file ("kept").getChildFile ("patches.tessel");
    kept.replaceWithData ("old", 3);
    ASSERT_EQ (::chmod (kept.getFullPathName().toRawUTF8(), 0640), 0);
    const auto direct = link ("direct.tessel", "kept/patches.tessel"),
               chained = link ("chained.tessel", direct.getFullPathName()),
               dangling = link ("dangling.tessel", "new.tessel");

    for (const auto& l : { direct, chained, dangling })
    {
        SCOPED_TRACE (l.getFileName());
        ASSERT_EQ (::truncate (kept.getFullPathName().toRawUTF8(), 0), 0);
        bench.run (false, PatchFiles::allPatches, page, l);
        EXPECT_TRUE (l.isSymbolicLink());
        EXPECT_EQ (bench.bytesOf (l.getLinkedTarget().getLinkedTarget()), all);
    }
    EXPECT_EQ (modeOf (kept), 0640u);
    EXPECT_EQ (bench.bytesOf (bench.file ("new.tessel")), all);
    EXPECT_EQ (bench.folder.getNumberOfChildFiles (juce::File::findFiles, "*"), 5) << "no temporary file left behind";

    // A file the user may write in a folder they may not: nothing can be
    // made beside it, so it is written where it stands.
    const auto shared = bench.file ("shared");
    shared.createDirectory();
    const auto inShared = shared.getChildFile ("patches.tessel");
    inShared.replaceWithData (juce::MemoryBlock (500, true).getData(), 500);
    ASSERT_TRUE (::chmod (inShared.getFullPathName().toRawUTF8(), 0666) == 0
                 && ::chmod (shared.getFullPathName().toRawUTF8(), 0555) == 0);
    const bool root = ::geteuid() == 0; // root may write in any folder
    if (root)
        ::setfsuid (65534);
    bench.run (false, PatchFiles::allPatches, page, inShared);
    if (root)
        ::setfsuid (0);
    ::chmod (shared.getFullPathName().toRawUTF8(), 0755);
    EXPECT_EQ (bench.bytesOf (inShared), all);
    EXPECT_EQ (bench.h.messages().size(), 5u) << "no failure told";
}

TEST (PatchFiles, AnExportThroughAFolderLinkWritesTheFileTheChosenNameOpensAndNoOther)
{
    PatchFileBench bench (kindDLY, 3);
    auto& page = bench.h.hub().dlyPage();
    const auto all = bench.recordsOf ({ 0, 1, 2 });

    // "linked" is a link to real/deep; the file chosen in it is a link whose
    // ".." the system takes from real/deep, to real/patches.tessel. Folding
    // the ".." as text from the chosen name would land on patches.tessel
    // beside "linked", a file of someone else's.
    const auto deep = bench.folder.getChildFile ("real").getChildFile ("deep");
    ASSERT_TRUE (deep.createDirectory());
    const auto opened = bench.file ("real/patches.tessel", juce::MemoryBlock ("old", 3));
    const auto unrelated = bench.file ("patches.tessel", juce::MemoryBlock ("unrelated", 9));
    ASSERT_EQ (::symlink (deep.getFullPathName().toRawUTF8(),
                          bench.folder.getChildFile ("linked").getFullPathName().toRawUTF8()),
               0);
    ASSERT_EQ (::symlink ("../patches.tessel", deep.getChildFile ("patches.tessel").getFullPathName().toRawUTF8()), 0);
    const auto chosen = bench.folder.getChildFile ("linked").getChildFile ("patches.tessel");

    bench.run (false, PatchFiles::allPatches, page, chosen);

    EXPECT_EQ (bench.bytesOf (chosen), all) << "the chosen name opens the patches";
    EXPECT_EQ (bench.bytesOf (opened), all);
    EXPECT_EQ (bench.bytesOf (unrelated), juce::MemoryBlock ("unrelated", 9));
    EXPECT_TRUE (deep.getChildFile ("patches.tessel").isSymbolicLink());
    EXPECT_EQ (bench.folder.getChildFile ("real").getNumberOfChildFiles (juce::File::findFiles, "*"), 1)
        << "no temporary file left behind";
    EXPECT_EQ (bench.lastMessage(), PatchFiles::exportPrompt) << "no failure told";
}

TEST (PatchFiles, WhatWasImportedOrSavedIsWhatThePageShowsAndExports)
{
    // Clicked, a patch shows the pedal's values, and Export One Patch writes them.
    const auto holdsThePedals = [] (PatchFileBench& bench, auto& page, int patch)
    {
        bench.select (page.patchList, patch);
        const auto values = bench.pedal->parametersOf (patch);
        EXPECT_EQ ((int) page.knobSliders[0].getValue(), (int) values[0]) << "patch " << patch;
        bench.run (false, PatchFiles::onePatch, page, bench.file ("out.tessel"));
        const auto exported = bench.bytesOf (bench.file ("out.tessel"));
        EXPECT_TRUE (std::equal (values.begin(), values.end(), static_cast<const uint8_t*> (exported.getData()) + 3));
    };
    const auto importThreeIntoSeven = [&] (PatchFileBench& bench, auto& page)
    {
        bench.select (page.patchList, 7);
        bench.run (true, PatchFiles::onePatch, page, bench.file ("three.tessel", bench.recordsOf ({ 3 })));
        holdsThePedals (bench, page, 7);
    };
    {
        PatchFileBench cab (kindCAB, 9);
        importThreeIntoSeven (cab, cab.h.hub().cabPage());
    }
    PatchFileBench bench (kindDLY, 9);
    auto& page = bench.h.hub().dlyPage();
    importThreeIntoSeven (bench, page);

    // All patches, each with the next one's values; then a knob turned and saved.
    juce::MemoryBlock all;
    for (int p = 0; p < 9; ++p)
    {
        all.append (bench.recordsOf ({ (p + 1) % 9 }).getData(), EffectShape::size);
        all[p * EffectShape::size + PatchRecord::indexByte] = (char) p;
    }
    bench.run (true, PatchFiles::allPatches, page, bench.file ("all.tessel", all));
    holdsThePedals (bench, page, 4);
    page.knobSliders[0].setValue (42, juce::sendNotificationSync);
    click (page.saveButton);
    holdsThePedals (bench, page, 5);
    holdsThePedals (bench, page, 4);
    EXPECT_EQ (page.knobSliders[0].getValue(), 42);
}

TEST (PatchFiles, OnePatchActsOnThePatchShownNotOnARowLeftHighlightedBesideIt)
{
    // Patch 2 clicked, then 5 shift-clicked (MOD) or ctrl-clicked (CAB): both
    // rows stay highlighted, the pedal and the page go to 5.
    const auto onFive = [] (PatchFileBench& bench, auto& page, juce::ModifierKeys modifiers)
    {
        bench.select (page.patchList, 2);
        page.patchList.selectRowsBasedOnModifierKeys (5, modifiers, false);
        bench.run (true, PatchFiles::onePatch, page, bench.file ("one.tessel", bench.recordsOf ({ 1 })));
        for (auto& frame : bench.sent())
            EXPECT_EQ (std::get<1> (frame), 5);
        bench.run (false, PatchFiles::onePatch, page, bench.file ("shown.tessel"));
        EXPECT_EQ (bench.bytesOf (bench.file ("shown.tessel"))[PatchRecord::indexByte], 5);
    };
    {
        PatchFileBench mod (kindMOD, 8);
        onFive (mod, mod.h.hub().modPage(), juce::ModifierKeys::shiftModifier);
    }
    PatchFileBench cab (kindCAB, 8);
    onFive (cab, cab.h.hub().cabPage(), juce::ModifierKeys::commandModifier);
}

TEST (PatchFiles, AllPatchesImportedWithTheFirstPatchSelectedStepOnlyToPatchesThePedalHas)
{
    // Away to the next patch and back; a pedal of one patch is just told it again.
    for (int patches : { 12, 1 })
    {
        PatchFileBench bench (kindAMP, patches);
        bench.select (bench.h.ampPage().patchList, 0);
        std::vector<int> all ((size_t) patches);
        std::iota (all.begin(), all.end(), 0);
        bench.run (true, PatchFiles::allPatches, bench.h.ampPage(), bench.file ("all.tessel", bench.recordsOf (all)));
        const auto sent = bench.sent();
        const Sent steps = patches == 1 ? Sent { { Command::selectPatch, 0, 1 } }
                                        : Sent { { Command::selectPatch, 1, 1 }, { Command::selectPatch, 0, 1 } };
        EXPECT_EQ (Sent (sent.begin() + patches, sent.end()), steps);
    }
}

TEST (PatchFiles, ADumpThatStopsHalfWayIsToldAndAllPatchesAreRefusedForIt)
{
    // Records 3 to 5 of 6 never come, however often asked.
    const juce::ScopedValueSetter<int> quickly (ConnectionSequence::recordTimeoutMs, 50);
    auto pedal = PedalSimulator::create (kindDLY);
    pedal->setPatches (6);
    for (int attempt = 0; attempt <= ConnectionSequence::recordRequestRetries; ++attempt)
        pedal->injectFault (Fault::noAnswer, Command::requestPreset, attempt == 0 ? 3 : 0);
    PatchFileBench bench (pedal);
    auto& page = bench.h.hub().dlyPage();
    EXPECT_TRUE (pumpUntil ([&] { return bench.lastMessage() == dumpIncompleteMessage; }));

    // A whole file of the pedal's 6 patches is not taken for the wrong one.
    bench.run (false, PatchFiles::allPatches, page, bench.file ("all.tessel"));
    bench.run (true, PatchFiles::allPatches, page, bench.file ("whole.tessel", bench.recordsOf ({ 0, 1, 2, 3, 4, 5 })));
    ASSERT_EQ (bench.h.messages().size(), 3u);
    EXPECT_EQ (bench.h.messages()[1].text + bench.lastMessage(),
               PatchFiles::partialSetMessage + PatchFiles::partialSetMessage);
    EXPECT_TRUE (bench.sent().empty() && ! bench.file ("all.tessel").exists());
}
