#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "app/PromptWindow.h"
#include "device/ProtocolCodes.h"
#include "device/ReplyDecoder.h"
#include "pages/KVAMPView.h"
#include "support/EditorHarness.h"

using tessel::sim::Fault;
using tessel::sim::PedalSimulator;
using tessel::test::EditorHarness;
using tessel::test::pumpPending;
using tessel::test::pumpUntil;

namespace
{
struct Sent
{
    int code;
    int arg;
};

/** The frames a pedal received, as (code, first payload byte or -1). */
std::vector<Sent> wire (const PedalSimulator& pedal)
{
    std::vector<Sent> out;
    for (auto& f : pedal.receivedFrames())
        out.push_back ({ f.code(), f.length() > 0 ? f[2] : -1 });
    return out;
}

/** What the whole connection of an effect pedal must put on the wire. */
std::vector<Sent> expectedSequence (DeviceKind kind, int names, int patches)
{
    std::vector<Sent> out { { Command::identify, -1 } };
    for (int n = 0; n < names; ++n)
        out.push_back ({ Command::getAlgorithmName, n });
    out.push_back ({ Command::transferState, 1 });
    for (int p = 0; p < patches; ++p)
        out.push_back ({ Command::requestPreset, p });
    out.push_back ({ Command::transferState, 0 });
    out.push_back ({ Command::getBypass, -1 });
    if (kind == kindDLY)
        out.push_back ({ Command::getMaxDelay, -1 });
    if (kind == kindMOD || kind == kindDLY)
        out.push_back ({ Command::getTapTempo, -1 });
    return out;
}

void expectWire (const PedalSimulator& pedal, const std::vector<Sent>& expected)
{
    const auto actual = wire (pedal);
    ASSERT_GE (actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ (actual[i].code, expected[i].code) << "frame " << i;
        EXPECT_EQ (actual[i].arg, expected[i].arg) << "frame " << i;
    }
}
} // namespace

TEST (ConnectionSequence, EachEffectPedalIsIdentifiedNamedAndDumpedInWireOrder)
{
    for (auto kind : { kindAMP, kindMOD, kindDLY })
    {
        SCOPED_TRACE ((int) kind);
        EditorHarness h;
        auto pedal = h.connect (kind, 7);
        const auto names = pedal->algorithmNames().size();
        ASSERT_GT (names, 0);

        expectWire (*pedal, expectedSequence (kind, names, 7));
        EXPECT_EQ (Device, (uint32_t) kind);
        EXPECT_EQ (h.hub().loadingWindow, nullptr);
    }
}

TEST (ConnectionSequence, AnAmpPedalEndsOnItsPageWithPatchesNamesAndBypass)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 12);
    auto& page = h.ampPage();

    EXPECT_TRUE (page.isVisible());
    EXPECT_FALSE (h.noDevicePage().isVisible());
    EXPECT_EQ (h.hub().getWidth(), 741);
    EXPECT_EQ (h.hub().getHeight(), 517);
    EXPECT_EQ (page.getBounds(), juce::Rectangle<int> (0, 0, 741, 517));

    ASSERT_EQ (page.patchRecords.size(), 12);
    for (int p = 0; p < 12; ++p)
    {
        const auto expected = pedal->recordOf (p);
        EXPECT_TRUE (std::equal (expected.begin(), expected.end(), page.patchRecords[p]->bytes.begin())) << p;
    }

    EXPECT_EQ (page.patchList.getModel()->getNumRows(), 12);
    EXPECT_EQ (page.algorithmListModel.ampNames, pedal->algorithmNames());
    EXPECT_EQ (page.algorithmListModel.rowText (0), "01  " + pedal->algorithmNames()[0]);

    // The pedal's current patch is on show, and the description matches its algorithm.
    const auto record = pedal->recordOf (pedal->currentPatch());
    EXPECT_EQ ((int) page.knobSliders[0].getValue(), record[3]);
    EXPECT_EQ (page.algorithmList.getSelectedRow(), record[9]);
    EXPECT_TRUE (page.diagnosticsBox.getText().startsWith (pedal->algorithmNames()[record[9]]));

    EXPECT_TRUE (page.bypassswitchButton.getToggleState());
    EXPECT_TRUE (page.knobSliders[0].isEnabled());
    EXPECT_TRUE (h.hub().names.size() == pedal->algorithmNames().size());
}

TEST (ConnectionSequence, ANameCountTheLoopHasReachedEndsTheNameLoop)
{
    for (int claimed : { 0, 1 })
    {
        SCOPED_TRACE (claimed);
        EditorHarness h;
        auto pedal = PedalSimulator::create (kindAMP);
        pedal->setReportedNameCount (claimed);
        h.connect (pedal);

        // One name was asked for, then the dump began.
        const auto sent = wire (*pedal);
        ASSERT_GE (sent.size(), 3u);
        EXPECT_EQ (sent[1].code, Command::getAlgorithmName);
        EXPECT_EQ (sent[2].code, Command::transferState);
        EXPECT_EQ (h.ampPage().algorithmListModel.ampNames.size(), 1);
        EXPECT_TRUE (h.ampPage().isVisible());
    }
}

TEST (ConnectionSequence, ADumpOfOneRecordOpensAndClosesTheLoadingWindowAtOnce)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 1);
    EXPECT_EQ (h.ampPage().patchRecords.size(), 1);
    EXPECT_EQ (h.hub().loadingWindow, nullptr);
    EXPECT_TRUE (pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0; }));
}

TEST (ConnectionSequence, TheDumpOfAPedalWhoseRecordsNoPageKeepsEndsOnce)
{
    // After a pedal has gone no page is shown, and a CAB pedal's records are
    // kept by none: its one record came back after every end of the dump,
    // which ended the dump again, for ever.
    EditorHarness h;
    h.unplug (h.connect (kindAMP, 1));
    auto pedal = PedalSimulator::create (kindCAB);
    pedal->setPatches (1);

    const auto ends = [&pedal]
    {
        const auto frames = wire (*pedal);
        return std::count_if (frames.begin(), frames.end(),
                              [] (auto& f) { return f.code == Command::transferState && f.arg == 0; });
    };

    // The third change of transfer state goes unanswered, which ends the
    // exchange should the dump be ended twice.
    pedal->injectFault (Fault::noAnswer, Command::transferState, 2);
    h.plugIn (pedal);
    EXPECT_EQ (ends(), 1);
}

TEST (ConnectionSequence, AStalledDumpAsksAgainThenKeepsWhatArrived)
{
    EditorHarness h;
    const juce::ScopedValueSetter<int> quickly (MainContentComponent::recordTimeoutMs, 100);

    auto pedal = PedalSimulator::create (kindAMP);
    pedal->setPatches (6);
    // Records 0 to 2 arrive; record 3 is asked for again and again and never comes.
    pedal->injectFault (Fault::noAnswer, Command::requestPreset, 3);
    for (int i = 0; i < MainContentComponent::recordRequestRetries; ++i)
        pedal->injectFault (Fault::noAnswer, Command::requestPreset);

    h.bus.plug (pedal);
    ASSERT_TRUE (pumpUntil ([&] { return h.ampPage().patchRecords.size() == 3; }));
    EXPECT_NE (h.hub().loadingWindow, nullptr);

    EXPECT_TRUE (pumpUntil ([&] { return h.hub().loadingWindow == nullptr; }, 5000)) << "the loading window stayed up";
    EXPECT_TRUE (pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0; }));

    int requestsForRecord3 = 0;
    for (auto& sent : wire (*pedal))
        if (sent.code == Command::requestPreset && sent.arg == 3)
            ++requestsForRecord3;
    EXPECT_EQ (requestsForRecord3, 1 + MainContentComponent::recordRequestRetries);

    // What arrived stays on the page.
    EXPECT_EQ (h.ampPage().patchRecords.size(), 3);
    EXPECT_EQ (h.ampPage().patchList.getModel()->getNumRows(), 3);
}

TEST (ConnectionSequence, DamagedAndUnknownReportsAreDroppedWithoutHarm)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 4);
    auto& page = h.ampPage();
    const auto knobBefore = page.knobSliders[1].getValue();

    auto damaged = HidPacket::command (Reply::knob, { 1, 77 });
    damaged.bytes[62] ^= 1;
    pedal->sendReport (damaged);
    pedal->sendReport (HidPacket::command (0x7E, { 1, 2, 3 }));
    pumpPending();

    EXPECT_EQ (page.knobSliders[1].getValue(), knobBefore);
}

TEST (ConnectionSequence, IndicesFromThePedalOutsideThePageAreIgnored)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 4);
    auto& page = h.ampPage();
    pedal->clearReceivedFrames();

    pedal->sendReport (HidPacket::command (Reply::patch, { 200 }));
    pedal->sendReport (HidPacket::command (Reply::algorithm, { 250 }));
    pedal->sendReport (HidPacket::command (Reply::knob, { 9, 50 }));
    pedal->sendReport (HidPacket::command (Reply::knob, { 255, 50 }));
    pumpPending();

    EXPECT_EQ (page.patchRecords.size(), 4);
    EXPECT_LT (page.patchList.getSelectedRow(), 4);
    EXPECT_LT (page.algorithmList.getSelectedRow(), page.algorithmListModel.ampNames.size());
    EXPECT_TRUE (pedal->receivedFrames().empty());
}
