#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "device/ProtocolCodes.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "support/EditorHarness.h"

using tessel::sim::PedalSimulator;
using tessel::test::EditorHarness;
using tessel::test::click;
using tessel::test::pumpPending;
using tessel::test::pumpUntil;

namespace
{
/** A MOD or DLY pedal, connected with its dump and after-dump queries done. */
struct ConnectedEffect
{
    explicit ConnectedEffect (DeviceKind k, bool sync = false, int maxDelay = 3000) : kind (k)
    {
        pedal = PedalSimulator::create (kind);
        pedal->setPatches (8);
        pedal->setTapTempoSync (sync);
        pedal->setDivision (6);
        pedal->setMaxDelayMilliseconds (maxDelay);
        h.connect (pedal);
        // The after-dump answers (tap tempo, then the division if synced) arrive.
        const auto last = sync ? Command::getDivision : Command::getTapTempo;
        pumpUntil ([&]
        {
            const auto frames = pedal->receivedFrames();
            return std::any_of (frames.begin(), frames.end(), [last] (auto& f) { return f.code() == last; });
        });
        pumpPending();
        pedal->clearReceivedFrames();
    }

    KVEffectPage& page() { return kind == kindDLY ? (KVEffectPage&) *h.hub().dlyView : (KVEffectPage&) *h.hub().modView; }
    KVDLYView& dly() { return *h.hub().dlyView; }

    std::vector<std::vector<int>> sent() { return tessel::test::takeSentFrames (*pedal); }

    DeviceKind kind;
    EditorHarness h;
    std::shared_ptr<PedalSimulator> pedal;
};

using Frames = std::vector<std::vector<int>>;

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
        ConnectedEffect effect (kind, true);
        auto& page = effect.page();
        page.rangeMaxSlider.setValue (80, juce::dontSendNotification);
        effect.dly().trailSwitchButton.setToggleState (false, juce::dontSendNotification);

        std::vector<std::pair<std::function<void()>, Frames>> steps = {
            // Combo boxes send their id less one; the id already on show sends nothing.
            { [&] { choose (page.inputModeCombo, 2); }, { { Command::setInputMode, 1 } } },
            { [&] { choose (page.objectCombo, 4); }, { { Command::setExpressionTarget, 3 } } },
            { [&] { choose (page.divideCombo, 11); }, { { Command::setDivision, 10 } } },
            { [&] { choose (page.divideCombo, 11); }, {} },
            // The range goes out with both ends as they stand, even the wrong way round.
            { [&] { page.rangeMinSlider.setValue (30, juce::sendNotificationSync); }, { { Command::setExpressionRange, 30, 80 } } },
            { [&] { page.rangeMaxSlider.setValue (10, juce::sendNotificationSync); }, { { Command::setExpressionRange, 30, 10 } } },
            { [&] { page.knobSliders[2].setValue (42, juce::sendNotificationSync); }, { { Command::setKnob, 2, 42 } } },
            // While the pedal follows tap tempo, its rate knob stays quiet.
            { [&] { page.knobSliders[4].setValue (77, juce::sendNotificationSync); }, {} },
            { [&] { click (page.saveButton); }, { { Command::save } } },
        };

        if (kind == kindDLY)
        {
            // The maximum delay time goes out in hundreds of milliseconds, as its own frame.
            for (auto [id, units] : { std::pair { 1, 10 }, std::pair { 3, 30 }, std::pair { 4, 40 } })
                steps.push_back ({ [&, id = id] { choose (effect.dly().maxDelayCombo, id); }, { { Command::setMaxDelay, units, 0 } } });
            for (int state : { 1, 0 })
                steps.push_back ({ [&effect] { click (effect.dly().trailSwitchButton); }, { { Command::setTrail, state } } });
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

TEST (EffectPages, AnExpressionRangeReportIsAnsweredAndSyncGoingOffClearsTheDivisionOnTheDelayOnly)
{
    for (auto kind : { kindMOD, kindDLY })
    {
        SCOPED_TRACE ((int) kind);
        ConnectedEffect effect (kind, true);
        effect.pedal->setExpressionRangeOnPedal (15, 70);
        pumpUntil ([&] { return effect.pedal->receivedFrames().size() >= 2; });

        EXPECT_EQ (effect.page().rangeMinSlider.getValue(), 15.0);
        EXPECT_EQ (effect.page().rangeMaxSlider.getValue(), 70.0);

        // Each slider answers once; by then both values stand.
        const auto frames = effect.sent();
        ASSERT_FALSE (frames.empty());
        for (auto& f : frames)
            EXPECT_EQ (f[0], Command::setExpressionRange);
        EXPECT_EQ (frames.back(), (std::vector<int> { Command::setExpressionRange, 15, 70 }));

        ASSERT_EQ (effect.page().divideCombo.getSelectedId(), 7);
        effect.pedal->setTapTempoSyncOnPedal (false);
        pumpPending();
        EXPECT_EQ (effect.page().divideCombo.getSelectedId(), kind == kindDLY ? 0 : 7);
        EXPECT_TRUE (effect.page().knobSliders[4].isEnabled());
        EXPECT_NEAR (effect.page().knobSliders[4].getAlpha(), 1.0f, 0.01f);
        EXPECT_FALSE (effect.page().divideCombo.isEnabled());
    }
}

TEST (EffectPages, AfterTheDumpThePageShowsThePedalsStateAndBypassAndTempoSyncShareKnobFour)
{
    ConnectedEffect dly (kindDLY, true, 3000);
    auto& page = dly.dly();
    EXPECT_EQ (dly.h.hub().getBounds(), juce::Rectangle<int> (0, 0, 741, 536));
    EXPECT_TRUE (page.isVisible() && page.bypassswitchButton.getToggleState() && page.tapTempoSync);
    EXPECT_FALSE (page.knobSliders[4].isEnabled());
    EXPECT_NEAR (page.knobSliders[4].getAlpha(), 0.3f, 0.01f);
    EXPECT_TRUE (page.divideCombo.isEnabled());
    EXPECT_EQ (page.divideCombo.getText(), "1/4T");
    EXPECT_EQ (page.maxDelayCombo.getText(), "3000");
    EXPECT_EQ (page.algorithmListModel.dlyNames, dly.pedal->algorithmNames());

    click (page.bypassswitchButton);
    EXPECT_EQ (dly.sent(), (Frames { { Command::setBypass, 0 } }));
    for (auto& knob : page.knobSliders)
        EXPECT_FALSE (knob.isEnabled());
    for (juce::Component* c : std::initializer_list<juce::Component*> {
             &page.divideCombo, &page.maxDelayCombo, &page.inputModeCombo, &page.objectCombo, &page.rangeMinSlider,
             &page.rangeMaxSlider, &page.trailSwitchButton, &page.patchList, &page.algorithmList, &page.saveButton,
             &page.exportButton, &page.importButton })
        EXPECT_FALSE (c->isEnabled()) << c->getName();
    EXPECT_TRUE (page.setButton.isEnabled());
    EXPECT_TRUE (page.bypassswitchButton.isEnabled());

    // A sync change while bypassed waits for the effect to come back on.
    dly.pedal->setTapTempoSyncOnPedal (false);
    pumpPending();
    EXPECT_FALSE (page.tapTempoSync);
    EXPECT_FALSE (page.knobSliders[4].isEnabled());

    dly.pedal->setTapTempoSyncOnPedal (true);
    pumpPending();
    click (page.bypassswitchButton);
    EXPECT_FALSE (page.knobSliders[4].isEnabled());
    EXPECT_NEAR (page.knobSliders[4].getAlpha(), 0.3f, 0.01f);
    EXPECT_TRUE (page.divideCombo.isEnabled());
    EXPECT_TRUE (page.knobSliders[0].isEnabled());
}

TEST (EffectPages, ValuesFromThePedalAreShownWithoutAnEcho)
{
    ConnectedEffect dly (kindDLY, true);
    auto& page = dly.dly();

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

    const auto shown = [&]
    {
        return (juce::StringArray { page.objectCombo.getText(), page.inputModeCombo.getText(), page.divideCombo.getText(),
                                    page.maxDelayCombo.getText() }).joinIntoString ("|");
    };
    EXPECT_EQ (shown(), "F.BACK|STEREO |1/16|4000");
    EXPECT_TRUE (page.trailSwitchButton.getToggleState());
    EXPECT_EQ (page.knobSliders[4].getValue(), 5.0);
    EXPECT_EQ (page.knobSliders[3].getValue(), 61.0);

    dly.pedal->setTrailOnPedal (0);
    // Times the selector doesn't offer, and items beyond a box, change nothing.
    dly.pedal->sendReport (HidPacket::command (Reply::maxDelay, { 25, 0 }));
    dly.pedal->setExpressionTargetOnPedal (5);
    dly.pedal->setInputModeOnPedal (2);
    dly.pedal->setDivisionOnPedal (11);
    pumpPending();
    EXPECT_FALSE (page.trailSwitchButton.getToggleState());
    EXPECT_EQ (shown(), "F.BACK|STEREO |1/16|4000");

    EXPECT_TRUE (dly.sent().empty());
}

TEST (EffectPages, AShownPatchMovesEveryControlItCarriesAndSendsOnlyTheSelection)
{
    ConnectedEffect dly (kindDLY, true);
    auto& page = dly.dly();

    page.patchList.selectRow (3);
    EXPECT_EQ (dly.sent(), (Frames { { Command::selectPatch, 3 } }));

    const auto record = dly.pedal->recordOf (3);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ ((int) page.knobSliders[(size_t) k].getValue(), record[(size_t) (3 + k)]) << "knob " << k;
    EXPECT_EQ (page.trailSwitchButton.getToggleState(), record[8] != 0);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), record[9]);
    EXPECT_EQ (page.inputModeCombo.getSelectedId(), record[10] + 1);
    EXPECT_EQ (page.objectCombo.getSelectedId(), record[11] + 1);
    EXPECT_EQ ((int) page.rangeMinSlider.getValue(), record[12]);
    EXPECT_EQ ((int) page.rangeMaxSlider.getValue(), record[13]);
    EXPECT_TRUE (page.diagnosticsBox.getText().startsWith (dly.pedal->algorithmNames()[record[9]]));
    EXPECT_TRUE (dly.sent().empty());
}
