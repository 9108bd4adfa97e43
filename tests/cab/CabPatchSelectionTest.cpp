#include <gtest/gtest.h>

#include "cab/KVCABView.h"
#include "device/ProtocolCodes.h"
#include "pagekit/PageControls.h"
#include "pagekit/PatchFiles.h"
#include "pagekit/TransferJob.h"
#include "support/EditorHarness.h"

using namespace tessel::test;

TEST (CabPatchFiles, APatchSelectedOnThePedalWhileThePromptOrChooserIsOpenStopsOnePatch)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("tessel-cab-selection-" + juce::Uuid().toString());
    folder.createDirectory();

    struct Case
    {
        const char* why;
        bool imports;
        int modalsBefore;
    }; // 0: stepped during the prompt, 1: during the chooser

    for (const auto& c : { Case { "export one, chooser", false, 1 }, Case { "import one, prompt", true, 0 } })
    {
        SCOPED_TRACE (c.why);
        EditorHarness editor;
        auto pedal = editor.connect (kindCAB, 20);
        auto& page = editor.hub().cabPage();
        PageControls::selectRowQuietly (page.patchList, 2, false);

        const auto file = folder.getChildFile (juce::String (c.why).replace (" ", "_") + ".tessel");
        if (c.imports)
            file.replaceWithData (page.patchRecords[4]->bytes.data(), CABShape::size);
        pumpPending();
        pedal->clearReceivedFrames();

        editor.dialogs().fileAnswers = { file };
        editor.dialogs().duringModal (c.modalsBefore,
                                      [&]
                                      {
            pedal->selectPatchOnPedal (9);
            pumpPending();
        });
        c.imports ? ImportMenuItemChosenCallback (PatchFiles::onePatch, &page)
                  : ExportMenuItemChosenCallback (PatchFiles::onePatch, &page);
        pumpPending();

        ASSERT_EQ (page.patchList.getSelectedRow(), 9);
        EXPECT_EQ (editor.messages().back().text, PatchFiles::selectionChangedMessage);
        EXPECT_EQ (file.existsAsFile(), c.imports) << "nothing is written";
        for (auto& frame : pedal->takeReceivedFrames())
            EXPECT_NE (frame.code(), Command::writePreset);
    }

    folder.deleteRecursively();
}

TEST (CabPatchFiles, APedalPulledOrSwappedForAnotherCabWhileTheChooserIsOpenGetsNothingWrittenOrSent)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("tessel-cab-session-" + juce::Uuid().toString());
    folder.createDirectory();

    struct Case
    {
        const char* why;
        bool imports;
        int item;
        bool swapped; // for another CAB of as many patches, its patch 0 selected as before
    };

    for (const auto& c : { Case { "export all, pulled", false, PatchFiles::allPatches, false },
                           Case { "export all, swapped", false, PatchFiles::allPatches, true },
                           Case { "import one, swapped", true, PatchFiles::onePatch, true },
                           Case { "import all, swapped", true, PatchFiles::allPatches, true } })
    {
        SCOPED_TRACE (c.why);
        EditorHarness editor;
        auto pedal = editor.connect (kindCAB, 20);
        auto& page = editor.hub().cabPage();
        ASSERT_EQ (page.patchList.getSelectedRow(), 0);

        // An export's file holds what the user had there; an import's is one
        // the pedal's records would fit.
        juce::MemoryBlock before;
        for (int i = 0; i < (c.item == PatchFiles::onePatch ? 1 : 20); ++i)
            before.append (page.patchRecords[i]->bytes.data(), CABShape::size);
        if (! c.imports)
            before = juce::MemoryBlock ("kept", 4);
        const auto file = folder.getChildFile (juce::String (c.why).replace (" ", "_").replace (",", "") + ".tessel");
        file.replaceWithData (before.getData(), before.getSize());

        auto other = tessel::sim::PedalSimulator::create (kindCAB);
        other->setPatches (20);
        editor.dialogs().fileAnswers = { file };
        editor.dialogs().duringModal (1,
                                      [&]
                                      {
            editor.unplug (pedal);
            if (c.swapped)
                editor.connect (other);
            other->clearReceivedFrames();
        });
        c.imports ? ImportMenuItemChosenCallback (c.item, &page) : ExportMenuItemChosenCallback (c.item, &page);
        pumpPending();

        ASSERT_EQ (page.patchRecords.size(), c.swapped ? 20 : 0);
        if (c.swapped)
        {
            ASSERT_EQ (page.patchList.getSelectedRow(), 0) << "the same row selected";
        }
        EXPECT_EQ (editor.messages().back().text, PageControls::pedalMissingMessage);
        juce::MemoryBlock after;
        file.loadFileAsData (after);
        EXPECT_EQ (after, before) << "the file is left as it was";
        EXPECT_TRUE (other->takeReceivedFrames().empty()) << "the other pedal gets nothing";
        EXPECT_EQ (TransferJob::jobsInProgress(), 0) << "no transfer is begun";
    }

    folder.deleteRecursively();
}
