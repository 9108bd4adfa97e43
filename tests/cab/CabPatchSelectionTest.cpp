#include <gtest/gtest.h>

#include "cab/KVCABView.h"
#include "device/ProtocolCodes.h"
#include "pagekit/PageControls.h"
#include "pagekit/PatchFiles.h"
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
