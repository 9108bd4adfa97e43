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
        settle();
        pedal->clearReceivedFrames();
    }

    KVEffectPage& page()
    {
        return kind == kindDLY ? (KVEffectPage&) *h.hub().dlyView : (KVEffectPage&) *h.hub().modView;
    }

    KVDLYView& dly() { return *h.hub().dlyView; }

    /** Lets the after-dump answers (tap tempo, division) arrive. */
    void settle()
    {
        const auto expected = pedal->tapTempoSync() ? Command::getDivision : Command::getTapTempo;
        pumpUntil ([&]
        {
            for (auto& f : pedal->receivedFrames())
                if (f.code() == expected)
                    return true;
            return false;
        });
        pumpPending();
    }

    std::vector<HidPacket> sent()
    {
        pumpPending();
        return pedal->takeReceivedFrames();
    }

    DeviceKind kind;
    EditorHarness h;
    std::shared_ptr<PedalSimulator> pedal;
};

std::vector<int> codesOf (const std::vector<HidPacket>& frames)
{
    std::vector<int> codes;
    for (auto& f : frames)
        codes.push_back (f.code());
    return codes;
}

void expectFrame (const std::vector<HidPacket>& frames, int code, std::vector<int> payload)
{
    ASSERT_EQ (frames.size(), 1u) << "expected exactly one command";
    EXPECT_EQ (frames[0].code(), code);
    ASSERT_EQ (frames[0].length(), (int) payload.size());
    for (size_t i = 0; i < payload.size(); ++i)
        EXPECT_EQ (frames[0][2 + (int) i], payload[i]) << "payload byte " << i;
}

void choose (juce::ComboBox& box, int id)
{
    box.setSelectedId (id, juce::sendNotificationSync);
}
} // namespace

TEST (EffectPages, EachPedalEndsItsConnectionWithItsOwnQueriesInWireOrder)
{
    struct Case
    {
        DeviceKind kind;
        bool sync;
        std::vector<int> tail;
    };

    const Case cases[] = {
        { kindMOD, false, { Command::transferState, Command::getBypass, Command::getTapTempo } },
        { kindMOD, true, { Command::transferState, Command::getBypass, Command::getTapTempo, Command::getDivision } },
        { kindDLY, false, { Command::transferState, Command::getBypass, Command::getMaxDelay, Command::getTapTempo } },
        { kindDLY, true, { Command::transferState, Command::getBypass, Command::getMaxDelay, Command::getTapTempo,
                           Command::getDivision } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String ((int) c.kind) + (c.sync ? " synced" : " free"));
        auto pedal = PedalSimulator::create (c.kind);
        pedal->setPatches (5);
        pedal->setTapTempoSync (c.sync);

        EditorHarness h;
        h.connect (pedal);
        pumpUntil ([&]
        {
            const auto codes = codesOf (pedal->receivedFrames());
            return std::find (codes.begin(), codes.end(), c.tail.back()) != codes.end();
        });
        pumpPending();

        // From the end of the transfer on, leaving out the record the pedal's
        // answer to it asks for again (that request interleaves with the queries).
        std::vector<int> tail;
        bool ended = false;
        for (auto& f : pedal->receivedFrames())
        {
            ended = ended || (f.code() == Command::transferState && f[2] == 0);
            if (ended && f.code() != Command::requestPreset)
                tail.push_back (f.code());
        }
        EXPECT_EQ (tail, c.tail);
    }
}

TEST (EffectPages, AfterTheDumpThePageShowsThePedalsSwitchesTempoAndDelay)
{
    {
        ConnectedEffect dly (kindDLY, true, 3000);
        auto& page = dly.dly();
        EXPECT_TRUE (page.isVisible());
        EXPECT_EQ (dly.h.hub().getWidth(), 741);
        EXPECT_EQ (dly.h.hub().getHeight(), 536);
        EXPECT_TRUE (page.bypassswitchButton.getToggleState());
        EXPECT_TRUE (page.tapTempoSync);
        EXPECT_FALSE (page.knobSliders[4].isEnabled());
        EXPECT_NEAR (page.knobSliders[4].getAlpha(), 0.3f, 0.01f);
        EXPECT_TRUE (page.divideCombo.isEnabled());
        EXPECT_EQ (page.divideCombo.getText(), "1/4T");
        EXPECT_EQ (page.maxDelayCombo.getText(), "3000");
        EXPECT_EQ (page.algorithmListModel.dlyNames, dly.pedal->algorithmNames());
    }
    {
        ConnectedEffect mod (kindMOD, false);
        auto& page = mod.page();
        EXPECT_TRUE (mod.h.hub().modView->isVisible());
        EXPECT_FALSE (page.tapTempoSync);
        EXPECT_TRUE (page.knobSliders[4].isEnabled());
        EXPECT_NEAR (page.knobSliders[4].getAlpha(), 1.0f, 0.01f);
        EXPECT_FALSE (page.divideCombo.isEnabled());
        EXPECT_EQ (page.algorithmListModel.modNames, mod.pedal->algorithmNames());
    }
}

TEST (EffectPages, ChoicesInTheComboBoxesAreSentAsTheirIdLessOne)
{
    {
        ConnectedEffect mod (kindMOD, true);
        auto& page = mod.page();

        choose (page.inputModeCombo, 2);
        EXPECT_EQ (page.inputModeCombo.getText(), "STEREO ");
        expectFrame (mod.sent(), Command::setInputMode, { 1 });

        choose (page.objectCombo, 5);
        EXPECT_EQ (page.objectCombo.getText(), "RATE");
        expectFrame (mod.sent(), Command::setExpressionTarget, { 4 });

        choose (page.divideCombo, 11);
        EXPECT_EQ (page.divideCombo.getText(), "1/16");
        expectFrame (mod.sent(), Command::setDivision, { 10 });

        // The id already on show reports no change and sends nothing.
        choose (page.divideCombo, 11);
        EXPECT_TRUE (mod.sent().empty());
    }
    {
        ConnectedEffect dly (kindDLY, true);
        auto& page = dly.page();

        choose (page.divideCombo, 3);
        expectFrame (dly.sent(), Command::setDivision, { 2 });
        choose (page.objectCombo, 4);
        EXPECT_EQ (page.objectCombo.getText(), "F.BACK");
        expectFrame (dly.sent(), Command::setExpressionTarget, { 3 });
    }
}

TEST (EffectPages, TheMaximumDelayTimeGoesOutAsItsOwnFrame)
{
    ConnectedEffect dly (kindDLY, false, 2000);

    struct Case
    {
        int id, byte2, checksum;
    };

    for (auto c : { Case { 3, 30, 0x86 }, Case { 1, 10, 0x72 }, Case { 4, 40, 0x90 } })
    {
        choose (dly.dly().maxDelayCombo, c.id);
        const auto frames = dly.sent();
        ASSERT_EQ (frames.size(), 1u);

        std::vector<uint8_t> expected (64, 0);
        expected[0] = 0x66;
        expected[1] = 0x02;
        expected[2] = (uint8_t) c.byte2;
        expected[62] = (uint8_t) c.checksum;
        EXPECT_EQ (std::vector<uint8_t> (frames[0].bytes.begin(), frames[0].bytes.end()), expected) << c.id;
    }
    EXPECT_EQ (dly.pedal->maxDelayMilliseconds(), 4000);
}

TEST (EffectPages, TheRangeSlidersSendBothEndsAsTheyStand)
{
    ConnectedEffect mod (kindMOD);
    auto& page = mod.page();
    page.rangeMaxSlider.setValue (80, juce::dontSendNotification);

    page.rangeMinSlider.setValue (30, juce::sendNotificationSync);
    expectFrame (mod.sent(), Command::setExpressionRange, { 30, 80 });

    page.rangeMaxSlider.setValue (10, juce::sendNotificationSync);
    expectFrame (mod.sent(), Command::setExpressionRange, { 30, 10 });
}

TEST (EffectPages, AnExpressionRangeReportIsAnsweredWithTheRange)
{
    for (auto kind : { kindMOD, kindDLY })
    {
        SCOPED_TRACE ((int) kind);
        ConnectedEffect effect (kind);
        effect.pedal->setExpressionRangeOnPedal (15, 70);
        pumpUntil ([&] { return effect.pedal->receivedFrames().size() >= 2; });

        EXPECT_EQ (effect.page().rangeMinSlider.getValue(), 15.0);
        EXPECT_EQ (effect.page().rangeMaxSlider.getValue(), 70.0);

        // Each slider answers once; by then both values stand.
        const auto frames = effect.sent();
        ASSERT_FALSE (frames.empty());
        for (auto& f : frames)
            EXPECT_EQ (f.code(), Command::setExpressionRange);
        EXPECT_EQ (frames.back()[2], 15);
        EXPECT_EQ (frames.back()[3], 70);
    }
}

TEST (EffectPages, TheRateKnobStaysQuietWhileThePedalFollowsTapTempo)
{
    for (auto kind : { kindMOD, kindDLY })
    {
        SCOPED_TRACE ((int) kind);
        ConnectedEffect effect (kind, true);
        auto& page = effect.page();

        testing::internal::CaptureStdout();
        page.knobSliders[4].setValue (77, juce::sendNotificationSync);
        EXPECT_EQ (testing::internal::GetCapturedStdout(), "");
        EXPECT_TRUE (effect.sent().empty());

        page.knobSliders[2].setValue (42, juce::sendNotificationSync);
        expectFrame (effect.sent(), Command::setKnob, { 2, 42 });

        // The pedal's own rate report is ignored too; the other knobs follow.
        page.knobSliders[4].setValue (5, juce::dontSendNotification);
        effect.pedal->turnKnob (4, 60);
        effect.pedal->turnKnob (3, 61);
        pumpPending();
        EXPECT_EQ (page.knobSliders[4].getValue(), 5.0);
        EXPECT_EQ (page.knobSliders[3].getValue(), 61.0);
        EXPECT_TRUE (effect.sent().empty());
    }
}

TEST (EffectPages, BypassAndTempoSyncShareKnobFourAndTheDivision)
{
    ConnectedEffect dly (kindDLY, true);
    auto& page = dly.dly();

    click (page.bypassswitchButton);
    expectFrame (dly.sent(), Command::setBypass, { 0 });
    for (auto& knob : page.knobSliders)
        EXPECT_FALSE (knob.isEnabled());
    for (juce::Component* c : std::initializer_list<juce::Component*> {
             &page.divideCombo, &page.maxDelayCombo, &page.inputModeCombo, &page.objectCombo, &page.rangeMinSlider,
             &page.rangeMaxSlider, &page.trailSwitchButton, &page.patchList, &page.algorithmList, &page.saveButton,
             &page.exportButton, &page.importButton })
        EXPECT_FALSE (c->isEnabled());
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

TEST (EffectPages, SyncGoingOffClearsTheDivisionOnTheDelayButNotOnTheModulation)
{
    {
        ConnectedEffect dly (kindDLY, true);
        ASSERT_EQ (dly.page().divideCombo.getSelectedId(), 7);
        dly.pedal->setTapTempoSyncOnPedal (false);
        pumpPending();
        EXPECT_EQ (dly.page().divideCombo.getSelectedId(), 0);
        EXPECT_TRUE (dly.page().knobSliders[4].isEnabled());
        EXPECT_NEAR (dly.page().knobSliders[4].getAlpha(), 1.0f, 0.01f);
        EXPECT_FALSE (dly.page().divideCombo.isEnabled());
    }
    {
        ConnectedEffect mod (kindMOD, true);
        ASSERT_EQ (mod.page().divideCombo.getSelectedId(), 7);
        mod.pedal->setTapTempoSyncOnPedal (false);
        pumpPending();
        EXPECT_EQ (mod.page().divideCombo.getSelectedId(), 7);
        EXPECT_FALSE (mod.page().divideCombo.isEnabled());
    }
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
    pumpPending();

    EXPECT_EQ (page.objectCombo.getText(), "F.BACK");
    EXPECT_EQ (page.inputModeCombo.getText(), "STEREO ");
    EXPECT_EQ (page.divideCombo.getText(), "1/16");
    EXPECT_TRUE (page.trailSwitchButton.getToggleState());
    EXPECT_EQ (page.maxDelayCombo.getText(), "4000");

    dly.pedal->setTrailOnPedal (0);
    // Times the selector doesn't offer, and items beyond a box, change nothing.
    dly.pedal->sendReport (HidPacket::command (Reply::maxDelay, { 25, 0 }));
    dly.pedal->setExpressionTargetOnPedal (9);
    dly.pedal->setDivisionOnPedal (11);
    pumpPending();
    EXPECT_FALSE (page.trailSwitchButton.getToggleState());
    EXPECT_EQ (page.maxDelayCombo.getText(), "4000");
    EXPECT_EQ (page.objectCombo.getText(), "F.BACK");
    EXPECT_EQ (page.divideCombo.getText(), "1/16");

    EXPECT_TRUE (dly.sent().empty());
}

TEST (EffectPages, AShownPatchMovesEveryControlItCarriesAndSendsNothing)
{
    ConnectedEffect dly (kindDLY, true);
    auto& page = dly.dly();

    page.patchList.selectRow (3);
    expectFrame (dly.sent(), Command::selectPatch, { 3 });

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

    pumpPending();
    EXPECT_TRUE (dly.sent().empty());
}

TEST (EffectPages, TheTrailSwitchFlipsAndFollowsThePedal)
{
    {
        ConnectedEffect dly (kindDLY);
        auto& page = dly.dly();
        page.trailSwitchButton.setToggleState (false, juce::dontSendNotification);

        click (page.trailSwitchButton);
        expectFrame (dly.sent(), Command::setTrail, { 1 });
        click (page.trailSwitchButton);
        expectFrame (dly.sent(), Command::setTrail, { 0 });
    }
    {
        // A MOD pedal has no trail switch: the report changes nothing.
        ConnectedEffect mod (kindMOD);
        mod.pedal->setTrailOnPedal (1);
        pumpPending();
        EXPECT_TRUE (mod.sent().empty());
    }
}
