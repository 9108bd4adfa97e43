#include "support/PageBench.h"

TEST (AmpPage, KnobsPatchesAndAlgorithmsChosenOnScreenAreSentAndShown)
{
    Connected amp (kindAMP, 12);
    auto& page = amp.h.ampPage();
    const auto names = amp.pedal->algorithmNames();

    page.knobSliders[3].setValue (42.0, juce::sendNotificationSync);
    EXPECT_EQ (amp.sent(), (Frames { { Command::setKnob, 3, 42 } }));

    page.patchList.selectRow (5);
    EXPECT_EQ (amp.sent(), (Frames { { Command::selectPatch, 5 } }));
    const auto record = amp.pedal->recordOf (5);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ ((int) page.knobSliders[(size_t) k].getValue(), record[(size_t) (3 + k)]) << k;
    EXPECT_EQ (page.switchButton.getToggleState(), record[8] != 1);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), record[9]);

    page.algorithmList.selectRow (3);
    EXPECT_EQ (amp.sent(), (Frames { { Command::selectAlgorithm, 3 } }));
    EXPECT_TRUE (page.diagnosticsBox.getText().startsWith (names[3]));

    // An algorithm beyond the names empties the box and highlights no row; a patch outside the records changes nothing.
    page.patchRecords[5]->bytes[AMPShape::algorithmByte] = (uint8_t) names.size();
    page.updateAmpInformation (5);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), -1);
    EXPECT_EQ (page.diagnosticsBox.getText(), "");
    page.knobSliders[0].setValue (33.0, juce::dontSendNotification);
    page.updateAmpInformation (12);
    page.updateAmpInformation (-1);
    EXPECT_EQ (page.knobSliders[0].getValue(), 33.0);
    EXPECT_TRUE (amp.sent().empty());
}

TEST (AmpPage, WhatIsDoneOnThePedalShowsWithoutAnEchoAndTheCabSwitchAndSaveSend)
{
    Connected amp (kindAMP, 12);
    auto& page = amp.h.ampPage();

    amp.pedal->selectPatchOnPedal (9);
    pumpPending();
    const auto record = amp.pedal->recordOf (9);
    EXPECT_EQ (page.patchList.getSelectedRow(), 9);
    EXPECT_EQ ((int) page.knobSliders[0].getValue(), record[3]);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), record[9]);

    amp.pedal->selectAlgorithmOnPedal (7);
    pumpPending();
    EXPECT_EQ (page.algorithmList.getSelectedRow(), 7);
    EXPECT_TRUE (page.diagnosticsBox.getText().startsWith (amp.pedal->algorithmNames()[7]));

    // The pedal's cabinet simulation report: 1 means off.
    for (int state : { 0, 1 })
    {
        amp.pedal->setCabSimulationOnPedal (state);
        pumpPending();
        EXPECT_EQ (page.switchButton.getToggleState(), state == 0);
    }
    EXPECT_TRUE (amp.sent().empty());

    // Flipped on screen, the switch sends its state; Save stores the patch,
    // which is read back once the pedal confirms it.
    for (int on : { 1, 0 })
    {
        click (page.switchButton);
        EXPECT_EQ (page.switchButton.getToggleState(), on == 1);
        EXPECT_EQ (amp.sent(), (Frames { { Command::setCabSimulation, on } }));
    }

    click (page.saveButton);
    EXPECT_EQ (amp.sent(), (Frames { { Command::save }, { Command::requestPreset, 9 } }));
    ASSERT_EQ (amp.h.messages().size(), 1u);
    EXPECT_EQ (amp.h.messages()[0].title + "|" + amp.h.messages()[0].text, "|Save complete.");
}

TEST (AmpPage, BypassDisablesTheEditingControlsButNotSetOrTheSwitchItself)
{
    Connected amp (kindAMP, 12);
    auto& page = amp.h.ampPage();
    ASSERT_TRUE (page.bypassswitchButton.getToggleState());

    click (page.bypassswitchButton);
    EXPECT_EQ (amp.sent(), (Frames { { Command::setBypass, 0 } }));
    EXPECT_FALSE (page.bypassswitchButton.getToggleState());
    for (auto& knob : page.knobSliders)
        EXPECT_FALSE (knob.isEnabled());
    for (juce::Component* c :
         std::initializer_list<juce::Component*> { &page.patchList, &page.algorithmList, &page.switchButton,
                                                   &page.saveButton, &page.exportButton, &page.importButton })
        EXPECT_FALSE (c->isEnabled()) << c->getName();
    EXPECT_TRUE (page.setButton.isEnabled() && page.bypassswitchButton.isEnabled());

    // The pedal switching its effect on again (any value but 0) re-enables everything, silently.
    for (int state : { 1, 0, 2 })
    {
        amp.pedal->setBypassOnPedal (state);
        pumpPending();
        EXPECT_EQ (page.bypassswitchButton.getToggleState(), state != 0);
        EXPECT_EQ (page.knobSliders[0].isEnabled() && page.patchList.isEnabled(), state != 0);
    }
    EXPECT_TRUE (amp.sent().empty());
}
