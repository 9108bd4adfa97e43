#include <gtest/gtest.h>

#include "cab/FactoryDiskImage.h"
#include "cab/KVCABView.h"
#include "cab/WriteIRWindow.h"
#include "device/ProtocolCodes.h"
#include "pages/PageControls.h"
#include "pages/PatchFiles.h"
#include "pages/SetMenu.h"
#include "support/EditorHarness.h"

using tessel::sim::PedalSimulator;
using tessel::test::pumpPending;
using tessel::test::chooseFromMenu;
using tessel::test::pumpUntil;

namespace
{
/** A linked CAB pedal of 100 patches whose flash is not the factory image,
    with the reset's pauses shortened. */
class CabMenusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pedal = editor.connect (kindCAB, 100);
        pedal->setExternalFlash (std::vector<uint8_t> (1024, 0x00));
        pedal->clearReceivedFrames();
    }

    void TearDown() override
    {
        pumpUntil ([] { return WriteIRWindow::jobsInProgress() == 0; }, 20000);
        WriteIRWindow::statusObserver = nullptr;
    }

    KVCABView& page() { return *editor.hub().cabView; }

    const juce::ScopedValueSetter<int> noPauses[2] { { WriteIRWindow::Timing::beforeResultMs, 0 }, { WriteIRWindow::Timing::beforeOpenMs, 0 } };
    tessel::test::EditorHarness editor;
    std::shared_ptr<PedalSimulator> pedal;
};
} // namespace

TEST_F (CabMenusTest, EachButtonOpensItsMenuInOrderWithSeparators)
{
    const std::pair<juce::Button*, const char*> cases[] = {
        { &page().setButton, "Firmware Update|-|About KORVEL|-|Feedback|-|Factory Reset" },
        { &page().importButton, "Import One Patch|-|Import All Patches" },
        { &page().exportButton, "Export One Patch|-|Export All Patches" },
    };

    for (auto& [button, expected] : cases)
        EXPECT_EQ (chooseFromMenu (*button), expected);
    EXPECT_TRUE (editor.dialogs().questions.empty());
    EXPECT_TRUE (pedal->receivedFrames().empty()) << "a dismissed menu does nothing";

    // The items the CAB page shares with the effect pages behave as there.
    chooseFromMenu (page().setButton, "About KORVEL");
    EXPECT_EQ (editor.dialogs().links, juce::StringArray (juce::URL (SetMenu::aboutPage).toString (true)));
}

TEST_F (CabMenusTest, FactoryResetAsksThenRewritesTheVolumeOfTheSamePedalOnly)
{
    const auto jobEnded = [] { return pumpUntil ([] { return WriteIRWindow::jobsInProgress() == 0; }, 20000); };

    // Cancel: nothing sent, no job.
    chooseFromMenu (page().setButton, "Factory Reset");
    ASSERT_EQ (editor.dialogs().questions.size(), 1u);
    EXPECT_EQ (editor.dialogs().questions[0].title, "");
    EXPECT_EQ (editor.dialogs().questions[0].text, SetMenu::cabFactoryResetQuestion);
    EXPECT_TRUE (jobEnded());
    EXPECT_TRUE (pedal->receivedFrames().empty());

    // OK: the job rewrites the flash (as the reset's own tests check), then resets the pedal.
    editor.dialogs().okAnswers.push_back (true);
    chooseFromMenu (page().setButton, "Factory Reset");
    ASSERT_TRUE (jobEnded());
    pumpPending();
    EXPECT_GT (pedal->externalFlashWriteCount(), 0);
    EXPECT_EQ (editor.messages().back().title, "Factory reset successful.");

    // Another CAB pedal plugged in while the question was open gets nothing.
    auto other = PedalSimulator::create (kindCAB);
    other->setExternalFlash (std::vector<uint8_t> (1024, 0x00));
    editor.dialogs().okAnswers.push_back (true);
    editor.dialogs().duringModal (0, [&] { editor.unplug (pedal); editor.plugIn (other); });
    chooseFromMenu (page().setButton, "Factory Reset");
    EXPECT_TRUE (jobEnded());
    EXPECT_EQ (editor.messages().back().text, PageControls::pedalMissingMessage);
    EXPECT_EQ (other->externalFlashWriteCount(), 0);
    for (auto& frame : other->receivedFrames())
        EXPECT_NE (frame.code(), Command::factoryReset);
}

TEST_F (CabMenusTest, OnePatchExportedAndImportedThroughThePagesButtons)
{
    juce::TemporaryFile temp (".tessel");
    const auto file = temp.getFile();
    PageControls::selectRowQuietly (page().patchList, 5, false);

    editor.dialogs().fileAnswers.push_back (file);
    chooseFromMenu (page().exportButton, "Export One Patch");
    EXPECT_EQ (editor.dialogs().savePatterns, juce::StringArray (PatchFiles::filePattern));
    EXPECT_EQ (editor.messages().at (0).text, PatchFiles::exportPrompt);
    juce::MemoryBlock saved;
    ASSERT_TRUE (file.loadFileAsData (saved));
    EXPECT_EQ (saved, juce::MemoryBlock (page().patchRecords[5]->bytes.data(), CABShape::size));

    // Into patch 9, the selected row, whatever the record's own number says.
    PageControls::selectRowQuietly (page().patchList, 9, false);
    editor.dialogs().fileAnswers.push_back (file);
    chooseFromMenu (page().importButton, "Import One Patch");
    EXPECT_EQ (editor.messages().at (1).text, PatchFiles::effectImportPrompt);
    pumpPending();
    const auto frames = pedal->takeReceivedFrames();
    ASSERT_GE (frames.size(), 2u);
    EXPECT_EQ (frames[0].code(), Command::writePreset);
    EXPECT_EQ (frames[0][2], 9);
    EXPECT_TRUE (std::equal (frames[0].data() + 3, frames[0].data() + 12, page().patchRecords[5]->bytes.data() + 3));
    EXPECT_EQ (frames[1].bytes, HidPacket::command (Command::selectPatch, { 9 }).bytes);

    // The second item wants a file of every patch: this one is refused.
    editor.dialogs().fileAnswers.push_back (file);
    chooseFromMenu (page().importButton, "Import All Patches");
    EXPECT_EQ (editor.messages().back().text, PatchFiles::wrongFileMessage);
    EXPECT_TRUE (pedal->takeReceivedFrames().empty());
}
