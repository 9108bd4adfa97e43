#include "support/PageBench.h"

namespace
{
/** A MOD or DLY pedal following tap tempo, connected with its dump and after-dump queries done. */
struct ConnectedEffect : Connected
{
    explicit ConnectedEffect (DeviceKind k)
        : Connected (configured (k)),
          kind (k)
    {
        pumpUntil (
            [&]
            {
            const auto frames = pedal->receivedFrames();
            return std::any_of (frames.begin(), frames.end(),
                                [] (auto& f) { return f.code() == Command::getDivision; });
        });
        pumpPending();
        pedal->clearReceivedFrames();
    }

    static std::shared_ptr<PedalSimulator> configured (DeviceKind kind)
    {
        auto pedal = PedalSimulator::create (kind);
        pedal->setPatches (8);
        pedal->setTapTempoSync (true);
        pedal->setDivision (6);
        pedal->setMaxDelayMilliseconds (3000);
        return pedal;
    }

    KVEffectPage& page() { return kind == kindDLY ? (KVEffectPage&) dly() : (KVEffectPage&) h.hub().modPage(); }
    KVDLYView& dly() { return h.hub().dlyPage(); }

    DeviceKind kind;
};

void choose (juce::ComboBox& box, int id)
{
    box.setSelectedId (id, juce::sendNotificationSync);
}
} // namespace

TEST (EffectPages, EachControlSendsItsOwnFrame)
{
    for (auto kind : { kindDLY, kindMOD })
    {
        SCOPED_TRACE ((int) kind);
        ConnectedEffect effect (kind);
        auto& page = effect.page();
        page.rangeMaxSlider.setValue (80, juce::dontSendNotification);
        effect.dly().trailSwitchButton.setToggleState (false, juce::dontSendNotification);

        std::vector<std::pair<std::function<void()>, Frames>> steps = {
            // Combo boxes send their id less one.
            { [&] { choose (page.inputModeCombo, 2); }, { { Command::setInputMode, 1 } } },
            { [&] { choose (page.objectCombo, 4); }, { { Command::setExpressionTarget, 3 } } },
            { [&] { choose (page.divideCombo, 11); }, { { Command::setDivision, 10 } } },
            // The range goes out with both ends as they stand, even the wrong way round.
            { [&] { page.rangeMinSlider.setValue (30, juce::sendNotificationSync); },
              { { Command::setExpressionRange, 30, 80 } } },
            { [&] { page.rangeMaxSlider.setValue (10, juce::sendNotificationSync); },
              { { Command::setExpressionRange, 30, 10 } } },
            { [&] { page.knobSliders[2].setValue (42, juce::sendNotificationSync); }, { { Command::setKnob, 2, 42 } } },
            // While the pedal follows tap tempo, its rate knob stays quiet.
            { [&] { page.knobSliders[4].setValue (77, juce::sendNotificationSync); }, {} },
            // The saved patch is read back once the pedal confirms it.
            { [&] { click (page.saveButton); }, { { Command::save }, { Command::requestPreset, 0 } } },
        };

        if (kind == kindDLY)
        {
            // The maximum delay time goes out in hundreds of milliseconds, as its own frame.
            for (auto [id, units] : { std::pair { 1, 10 }, { 3, 30 }, { 4, 40 } })
                steps.push_back ({ [&, id = id] { choose (effect.dly().maxDelayCombo, id); },
                                   { { Command::setMaxDelay, units, 0 } } });
            for (int state : { 1, 0 })
                steps.push_back (
                    { [&effect] { click (effect.dly().trailSwitchButton); }, { { Command::setTrail, state } } });
        }

        for (size_t i = 0; i < steps.size(); ++i)
        {
            testing::internal::CaptureStdout();
            steps[i].first();
            testing::internal::GetCapturedStdout();
            EXPECT_EQ (effect.sent(), steps[i].second) << "step " << i;
        }
        EXPECT_EQ (effect.pedal->maxDelayMilliseconds(), kind == kindDLY ? 4000 : 3000);
    }
}

TEST (EffectPages, AnExpressionRangeReportIsShownUnansweredAndSyncGoingOffClearsTheDivisionOnTheDelayOnly)
{
    for (auto kind : { kindMOD, kindDLY })
    {
        SCOPED_TRACE ((int) kind);
        ConnectedEffect effect (kind);
        auto& page = effect.page();
        effect.pedal->setExpressionRangeOnPedal (15, 70);
        pumpPending();
        EXPECT_EQ (page.rangeMinSlider.getValue() * 100 + page.rangeMaxSlider.getValue(), 1570.0);

        // Like every value from the pedal, it is not sent back.
        EXPECT_TRUE (effect.sent().empty());

        ASSERT_EQ (page.divideCombo.getSelectedId(), 7);
        effect.pedal->setTapTempoSyncOnPedal (false);
        pumpPending();
        EXPECT_EQ (page.divideCombo.getSelectedId(), kind == kindDLY ? 0 : 7);
        EXPECT_TRUE (page.knobSliders[4].isEnabled() && ! page.divideCombo.isEnabled());
        EXPECT_NEAR (page.knobSliders[4].getAlpha(), 1.0f, 0.01f);
    }
}

TEST (EffectPages, AfterTheDumpThePageShowsThePedalsStateAndBypassAndTempoSyncShareKnobFour)
{
    ConnectedEffect dly (kindDLY);
    auto& page = dly.dly();
    const auto rateKnobSynced = [&]
    {
        EXPECT_FALSE (page.knobSliders[4].isEnabled());
        EXPECT_NEAR (page.knobSliders[4].getAlpha(), 0.3f, 0.01f);
        EXPECT_TRUE (page.divideCombo.isEnabled() && page.knobSliders[0].isEnabled());
    };
    EXPECT_TRUE (page.isVisible() && page.bypassswitchButton.getToggleState() && page.tapTempoSync);
    rateKnobSynced();
    EXPECT_EQ (page.divideCombo.getText() + "|" + page.maxDelayCombo.getText(), "1/4T|3000");
    EXPECT_EQ (page.algorithmNames, dly.pedal->algorithmNames());

    click (page.bypassswitchButton);
    EXPECT_EQ (dly.sent(), (Frames { { Command::setBypass, 0 } }));
    for (auto& knob : page.knobSliders)
        EXPECT_FALSE (knob.isEnabled());
    for (juce::Component* c : std::initializer_list<juce::Component*> {
             &page.divideCombo, &page.maxDelayCombo, &page.inputModeCombo, &page.objectCombo, &page.rangeMinSlider,
             &page.rangeMaxSlider, &page.trailSwitchButton, &page.patchList, &page.algorithmList, &page.saveButton,
             &page.exportButton, &page.importButton })
        EXPECT_FALSE (c->isEnabled()) << c->getName();
    EXPECT_TRUE (page.setButton.isEnabled() && page.bypassswitchButton.isEnabled());

    // A sync change while bypassed waits for the effect to come back on.
    dly.pedal->setTapTempoSyncOnPedal (false);
    pumpPending();
    EXPECT_FALSE (page.tapTempoSync || page.knobSliders[4].isEnabled());

    dly.pedal->setTapTempoSyncOnPedal (true);
    pumpPending();
    click (page.bypassswitchButton);
    rateKnobSynced();
}

TEST (EffectPages, ValuesFromThePedalAreShownWithoutAnEcho)
{
    ConnectedEffect dly (kindDLY);
    auto& page = dly.dly();
    const auto shown = [&]
    {
        return juce::StringArray { page.objectCombo.getText(), page.inputModeCombo.getText(),
                                   page.divideCombo.getText(), page.maxDelayCombo.getText(),
                                   juce::String ((int) page.trailSwitchButton.getToggleState()) }
            .joinIntoString ("|");
    };

    dly.pedal->setExpressionTargetOnPedal (3);
    dly.pedal->setInputModeOnPedal (1);
    dly.pedal->setDivisionOnPedal (10);
    dly.pedal->setTrailOnPedal (1);
    dly.pedal->sendReport (HidPacket::command (Reply::maxDelay, { 40, 0 }));
    // The rate report is ignored while the pedal follows tap tempo; the other knobs follow.
    page.knobSliders[4].setValue (5, juce::dontSendNotification);
    dly.pedal->turnKnob (4, 60);
    dly.pedal->turnKnob (3, 61);
    pumpPending();
    EXPECT_EQ (shown(), "F.BACK|STEREO |1/16|4000|1");
    EXPECT_EQ (page.knobSliders[4].getValue() * 100 + page.knobSliders[3].getValue(), 561.0);

    // Times the selector doesn't offer, and items beyond a box, change nothing.
    dly.pedal->setTrailOnPedal (0);
    dly.pedal->sendReport (HidPacket::command (Reply::maxDelay, { 25, 0 }));
    dly.pedal->setExpressionTargetOnPedal (5);
    dly.pedal->setInputModeOnPedal (2);
    dly.pedal->setDivisionOnPedal (11);
    pumpPending();
    EXPECT_EQ (shown(), "F.BACK|STEREO |1/16|4000|0");
    EXPECT_TRUE (dly.sent().empty());
}

TEST (EffectPages, AShownPatchMovesEveryControlItCarriesAndSendsOnlyTheSelection)
{
    ConnectedEffect dly (kindDLY);
    auto& page = dly.dly();
    page.patchList.selectRow (3);
    EXPECT_EQ (dly.sent(), (Frames { { Command::selectPatch, 3 } }));

    const auto record = dly.pedal->recordOf (3);
    std::vector<int> shown;
    for (auto& knob : page.knobSliders)
        shown.push_back ((int) knob.getValue());
    shown.insert (shown.end(),
                  { (int) page.trailSwitchButton.getToggleState(), page.algorithmList.getSelectedRow(),
                    page.inputModeCombo.getSelectedId() - 1, page.objectCombo.getSelectedId() - 1,
                    (int) page.rangeMinSlider.getValue(), (int) page.rangeMaxSlider.getValue() });
    EXPECT_EQ (shown, std::vector<int> (record.begin() + 3, record.begin() + 14));
    EXPECT_TRUE (page.diagnosticsBox.getText().startsWith (dly.pedal->algorithmNames()[record[9]]));
    EXPECT_TRUE (dly.sent().empty());
}
