#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "support/EditorHarness.h"

using tessel::sim::PedalSimulator;
using tessel::test::EditorHarness;
using tessel::test::click;
using tessel::test::pumpPending;

namespace
{
/** An AMP pedal, connected and dumped, with its wire cleared for the test. */
struct ConnectedAmp
{
    ConnectedAmp()
    {
        pedal = h.connect (kindAMP, 12);
        pedal->clearReceivedFrames();
    }

    std::vector<HidPacket> sent()
    {
        pumpPending();
        return pedal->takeReceivedFrames();
    }

    KVAMPView& page() { return h.ampPage(); }

    EditorHarness h;
    std::shared_ptr<PedalSimulator> pedal;
};

void expectFrame (const std::vector<HidPacket>& frames, int code, std::vector<int> payload)
{
    ASSERT_EQ (frames.size(), 1u) << "expected exactly one command";
    EXPECT_EQ (frames[0].code(), code);
    ASSERT_EQ (frames[0].length(), (int) payload.size());
    for (size_t i = 0; i < payload.size(); ++i)
        EXPECT_EQ (frames[0][2 + (int) i], payload[i]);
}
} // namespace

TEST (AmpPage, TurningAKnobOnScreenSendsItAtOnce)
{
    ConnectedAmp amp;

    testing::internal::CaptureStdout();
    amp.page().knobSliders[3].setValue (42.0, juce::sendNotificationSync);
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "sasaasas ::::  42.000000");

    expectFrame (amp.sent(), Command::setKnob, { 3, 42 });
    EXPECT_EQ (amp.pedal->parametersOf (amp.pedal->currentPatch())[3], 42);
}

TEST (AmpPage, AKnobTurnedOnThePedalMovesOnScreenWithoutAnEcho)
{
    ConnectedAmp amp;

    amp.pedal->turnKnob (2, 61);
    amp.pedal->turnKnob (4, 99);
    pumpPending();

    EXPECT_EQ (amp.page().knobSliders[2].getValue(), 61.0);
    EXPECT_EQ (amp.page().knobSliders[4].getValue(), 99.0);
    EXPECT_TRUE (amp.sent().empty());
}

TEST (AmpPage, PatchesChosenOnScreenOrOnThePedalShowTheirValues)
{
    ConnectedAmp amp;
    auto& page = amp.page();

    page.patchList.selectRow (5);
    expectFrame (amp.sent(), Command::selectPatch, { 5 });

    auto record = amp.pedal->recordOf (5);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ ((int) page.knobSliders[(size_t) k].getValue(), record[(size_t) (3 + k)]) << k;
    EXPECT_EQ (page.switchButton.getToggleState(), record[8] != 1);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), record[9]);

    // On the pedal: the page follows and sends nothing back.
    amp.pedal->selectPatchOnPedal (9);
    pumpPending();
    record = amp.pedal->recordOf (9);
    EXPECT_EQ (page.patchList.getSelectedRow(), 9);
    EXPECT_EQ ((int) page.knobSliders[0].getValue(), record[3]);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), record[9]);
    EXPECT_TRUE (amp.sent().empty());
}

TEST (AmpPage, AlgorithmsChosenOnScreenOrOnThePedalShowTheirDescription)
{
    ConnectedAmp amp;
    auto& page = amp.page();
    const auto names = amp.pedal->algorithmNames();

    page.algorithmList.selectRow (3);
    expectFrame (amp.sent(), Command::selectAlgorithm, { 3 });
    EXPECT_TRUE (page.diagnosticsBox.getText().startsWith (names[3]));

    amp.pedal->selectAlgorithmOnPedal (7);
    pumpPending();
    EXPECT_EQ (page.algorithmList.getSelectedRow(), 7);
    EXPECT_TRUE (page.diagnosticsBox.getText().startsWith (names[7]));
    EXPECT_TRUE (amp.sent().empty());

    // An algorithm the page has no name for empties the box.
    page.UpdateDiagnosticsBox (names.size());
    EXPECT_EQ (page.diagnosticsBox.getText(), "");

    // A patch whose algorithm is beyond the list leaves no row highlighted.
    page.patchRecords[5]->bytes[AMPShape::algorithmByte] = (uint8_t) names.size();
    page.updateAmpInformation (5);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), -1);
    EXPECT_EQ (page.diagnosticsBox.getText(), "");

    // The description is drawn slanted; Debian's sans face calls that "Oblique".
    const auto style = page.diagnosticsBox.getFont().getTypefacePtr()->getStyle();
    EXPECT_TRUE (style.contains ("Italic") || style.contains ("Oblique")) << style;
}

TEST (AmpPage, TheCabSimulationSwitchFlipsAndFollowsThePedal)
{
    ConnectedAmp amp;
    auto& page = amp.page();

    // Patch 0 of the simulated pedal has the cabinet simulation off (byte 8 = 1).
    page.patchList.selectRow (0);
    amp.sent();
    ASSERT_EQ (amp.pedal->recordOf (0)[8], 1);
    EXPECT_FALSE (page.switchButton.getToggleState());

    click (page.switchButton);
    EXPECT_TRUE (page.switchButton.getToggleState());
    expectFrame (amp.sent(), Command::setCabSimulation, { 1 });

    click (page.switchButton);
    EXPECT_FALSE (page.switchButton.getToggleState());
    expectFrame (amp.sent(), Command::setCabSimulation, { 0 });

    amp.pedal->setCabSimulationOnPedal (0);
    pumpPending();
    EXPECT_TRUE (page.switchButton.getToggleState());
    amp.pedal->setCabSimulationOnPedal (1);
    pumpPending();
    EXPECT_FALSE (page.switchButton.getToggleState());
    EXPECT_TRUE (amp.sent().empty());
}

TEST (AmpPage, BypassDisablesTheEditingControlsButNotSetOrTheSwitchItself)
{
    ConnectedAmp amp;
    auto& page = amp.page();
    ASSERT_TRUE (page.bypassswitchButton.getToggleState());

    click (page.bypassswitchButton);
    expectFrame (amp.sent(), Command::setBypass, { 0 });
    EXPECT_FALSE (page.bypassswitchButton.getToggleState());

    for (auto& knob : page.knobSliders)
        EXPECT_FALSE (knob.isEnabled());
    for (juce::Component* c : { (juce::Component*) &page.patchList, (juce::Component*) &page.algorithmList,
                                (juce::Component*) &page.switchButton, (juce::Component*) &page.saveButton,
                                (juce::Component*) &page.exportButton, (juce::Component*) &page.importButton })
        EXPECT_FALSE (c->isEnabled()) << c->getName();
    EXPECT_TRUE (page.setButton.isEnabled());
    EXPECT_TRUE (page.bypassswitchButton.isEnabled());

    // The pedal switching its effect on again re-enables everything, silently.
    amp.pedal->setBypassOnPedal (1);
    pumpPending();
    EXPECT_TRUE (page.bypassswitchButton.getToggleState());
    EXPECT_TRUE (page.knobSliders[0].isEnabled());
    EXPECT_TRUE (page.patchList.isEnabled());

    // Any value but 0 means "on" on this page, 2 included.
    amp.pedal->setBypassOnPedal (2);
    pumpPending();
    EXPECT_TRUE (page.bypassswitchButton.getToggleState());
    EXPECT_TRUE (amp.sent().empty());
}

TEST (AmpPage, SaveStoresThePatchAndThePedalsAnswerIsShown)
{
    ConnectedAmp amp;

    click (amp.page().saveButton);
    expectFrame (amp.sent(), Command::save, {});

    ASSERT_EQ (amp.h.messages().size(), 1u);
    EXPECT_EQ (amp.h.messages()[0].title, "");
    EXPECT_EQ (amp.h.messages()[0].text, "Save complete.");
}

TEST (AmpPage, UnpluggingClearsTheRecordsAndNames)
{
    ConnectedAmp amp;
    auto& page = amp.page();
    ASSERT_GT (page.patchRecords.size(), 0);

    amp.h.unplug (amp.pedal);

    EXPECT_FALSE (page.isVisible());
    EXPECT_TRUE (amp.h.noDevicePage().isVisible());
    EXPECT_EQ (page.patchRecords.size(), 0);
    EXPECT_TRUE (page.algorithmListModel.ampNames.isEmpty());
    EXPECT_TRUE (amp.h.hub().names.isEmpty());
    EXPECT_EQ (amp.h.hub().getWidth(), 780);

    // Plugged in again, everything comes back.
    amp.h.connect (amp.pedal);
    EXPECT_TRUE (page.isVisible());
    EXPECT_EQ (page.patchRecords.size(), 12);
    EXPECT_EQ (page.algorithmListModel.ampNames, amp.pedal->algorithmNames());
}

TEST (AmpPage, ShowingAPatchOutsideTheRecordsChangesNothing)
{
    ConnectedAmp amp;
    auto& page = amp.page();
    page.knobSliders[0].setValue (33.0, juce::dontSendNotification);

    page.updateAmpInformation (12);
    page.updateAmpInformation (-1);
    EXPECT_EQ (page.knobSliders[0].getValue(), 33.0);
    EXPECT_TRUE (amp.sent().empty());
}
