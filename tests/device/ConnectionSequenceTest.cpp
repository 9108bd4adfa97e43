#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "app/ReplyDecoder.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "pages/KVMODView.h"
#include "support/EditorHarness.h"

using namespace tessel::sim;
using namespace tessel::test;

namespace
{
using Sent = std::vector<int>; // code, then payload
constexpr auto wire = takeSentFrames;

/** What the whole connection of a pedal must put on the wire. */
std::vector<Sent> expectedSequence (DeviceKind kind, int names, int patches)
{
    std::vector<Sent> out { { Command::identify } };
    for (int n = 0; n < names; ++n)
        out.push_back ({ Command::getAlgorithmName, n });
    out.push_back ({ Command::transferState, 1 });
    for (int p = 0; p < patches; ++p)
        out.push_back ({ Command::requestPreset, p });
    out.insert (out.end(), { { Command::transferState, 0 }, { Command::getBypass } });
    if (kind == kindDLY)
        out.push_back ({ Command::getMaxDelay });
    if (kind == kindMOD || kind == kindDLY)
        out.push_back ({ Command::getTapTempo });
    if (kind == kindCAB)
        out.push_back ({ Command::selectPatch, 0 });
    return out;
}
} // namespace

TEST (ConnectionSequence, EachPedalIsIdentifiedNamedUpToTheCountItGivesAndDumpedInWireOrder)
{
    // -1: the pedal gives its own name count. A count the name loop has already reached ends it.
    const std::pair<DeviceKind, int> cases[] = { { kindAMP, -1 }, { kindMOD, -1 }, { kindDLY, -1 }, { kindCAB, -1 },
                                                 { kindAMP, 0 },  { kindAMP, 1 },  { kindAMP, 2 } };
    for (auto [kind, claimed] : cases)
    {
        SCOPED_TRACE (testing::Message() << (int) kind << " claiming " << claimed << " names");
        EditorHarness h;
        auto pedal = PedalSimulator::create (kind);
        pedal->setPatches (7);
        pedal->setReportedNameCount (claimed);
        h.connect (pedal);
        const auto names = claimed < 0 ? pedal->algorithmNames().size() : std::max (claimed, 1);
        const auto expected = expectedSequence (kind, names, 7);
        const auto actual = wire (*pedal);

        ASSERT_GE (actual.size(), expected.size());
        EXPECT_EQ (std::vector<Sent> (actual.begin(), actual.begin() + (long) expected.size()), expected);
        EXPECT_TRUE (Device == (uint32_t) kind && h.hub().loadingWindow == nullptr
                     && h.hub().firstVisiblePage() == (uint32_t) kind);
        EXPECT_TRUE (kind != kindAMP || h.ampPage().algorithmNames.size() == names);
        EXPECT_TRUE (kind != kindAMP || h.ampPage().getBounds() == juce::Rectangle<int> (0, 0, 741, 517));
    }
}

TEST (ConnectionSequence, ADumpOfOneRecordEndsOnceAndARecordWhileNoPageIsShownDoesNotEndItAgain)
{
    // The pedal answers the transfer state twice only: ending the dump again stops here, not loops.
    EditorHarness h;
    auto pedal = PedalSimulator::create (kindAMP);
    pedal->setPatches (1);
    pedal->injectFault (Fault::noAnswer, Command::transferState, 2);
    h.connect (pedal);
    EXPECT_TRUE (pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0; }));
    pumpPending();

    // Ending the transfer makes the pedal ask for the held record 0 again: the dump is not ended twice.
    auto expected = expectedSequence (kindAMP, pedal->algorithmNames().size(), 1);
    expected.push_back ({ Command::requestPreset, 0 });
    EXPECT_EQ (wire (*pedal), expected);
    EXPECT_TRUE (h.ampPage().patchRecords.size() == 1 && h.hub().loadingWindow == nullptr);

    // A record while no page is shown is not answered with the dump's end, so not asked for again and again.
    h.hub().disconnect();
    pedal->sendReport (HidPacket::command (Reply::presetRecord, { 1, 0, 0, 1, 2, 3, 4, 5, 1, 0 }));
    EXPECT_FALSE (pumpUntil ([&] { return ! pedal->receivedFrames().empty(); }, 300)) << "the dump's end was sent";
}

TEST (ConnectionSequence, AStalledDumpAsksAgainThenKeepsWhatArrived)
{
    EditorHarness h;
    const juce::ScopedValueSetter<int> quickly (ConnectionSequence::recordTimeoutMs, 100);

    auto pedal = PedalSimulator::create (kindAMP);
    pedal->setPatches (6);
    // Records 0 to 2 arrive; record 3 is asked for again and again and never comes.
    pedal->injectFault (Fault::noAnswer, Command::requestPreset, 3);
    for (int i = 0; i < ConnectionSequence::recordRequestRetries; ++i)
        pedal->injectFault (Fault::noAnswer, Command::requestPreset);

    h.bus.plug (pedal);
    ASSERT_TRUE (pumpUntil ([&] { return h.ampPage().patchRecords.size() == 3; }));
    EXPECT_NE (h.hub().loadingWindow, nullptr);

    EXPECT_TRUE (pumpUntil ([&] { return h.hub().loadingWindow == nullptr; }, 5000)) << "the loading window stayed up";
    EXPECT_TRUE (pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0; }));

    const auto sent = wire (*pedal);
    const auto times = [&] (const Sent& frame) { return (int) std::count (sent.begin(), sent.end(), frame); };
    EXPECT_EQ (times ({ Command::requestPreset, 3 }), 1 + ConnectionSequence::recordRequestRetries);
    // What arrived stays on the page, and the dump is ended on the pedal as a completed one is.
    EXPECT_TRUE (h.ampPage().patchRecords.size() == 3 && h.ampPage().patchList.getModel()->getNumRows() == 3);
    EXPECT_TRUE (times ({ Command::transferState, 0 }) == 1 && times ({ Command::getBypass }) == 1)
        << "left in the transfer state";
}

TEST (ConnectionSequence, APedalThatNeverAnswersIsAskedAgainThenTheUserIsTold)
{
    EditorHarness h;
    const juce::ScopedValueSetter<int> quickly (ConnectionSequence::identityTimeoutMs, 50);

    auto pedal = PedalSimulator::create (kindAMP);
    for (int i = 0; i <= ConnectionSequence::identityRequestRetries; ++i)
        pedal->injectFault (Fault::noAnswer, Command::identify);

    h.plugIn (pedal);
    EXPECT_TRUE (
        pumpUntil ([&] { return h.noDevicePage().statusLabel.getText() == "The pedal does not answer."; }, 5000));
    EXPECT_EQ (h.noDevicePage().hintLabel.getText(), "Please disconnect it and connect it again.");
    EXPECT_EQ ((int) wire (*pedal).size(), 1 + ConnectionSequence::identityRequestRetries);
}

TEST (ConnectionSequence, DamagedUnknownAndOutOfRangeReportsChangeNothing)
{
    EditorHarness h;
    auto pedal = h.connect (kindMOD, 4);
    auto& page = h.hub().modPage();
    pedal->clearReceivedFrames();

    const auto names = page.algorithmNames;
    const auto knobValues = [&]
    {
        juce::StringArray values;
        for (auto& knob : page.knobSliders)
            values.add (juce::String (knob.getValue()));
        return values;
    };
    const auto knobs = knobValues();

    auto damagedIdentity = HidPacket::command (Reply::identity, { 'V', 'Q', 'D', '-', '2' });
    damagedIdentity.bytes[62] ^= 0x10;
    auto damagedKnob = HidPacket::command (Reply::knob, { 1, 77 });
    damagedKnob.bytes[62] ^= 1;

    testing::internal::CaptureStdout();
    for (const auto& report :
         { HidPacket::command (Reply::identity, { 'V', 'Q', 'X', '-', '2' }),
           HidPacket::command (Reply::identity, { 'V', 'Q', 'A', '-', '3' }), damagedIdentity, damagedKnob,
           HidPacket::command (0x7E, { 1, 2, 3 }), HidPacket::command (Reply::patch, { 200 }),
           HidPacket::command (Reply::algorithm, { 250 }), HidPacket::command (Reply::knob, { 5, 50 }),
           HidPacket::command (Reply::knob, { 255, 50 }),
           // A name after the name loop, and a record far outside the pedal's patches.
           HidPacket::command (Reply::algorithmName, { names.size(), 0, 'X' }),
           HidPacket::command (Reply::presetRecord, { 4, 0, 200, 1, 2, 3, 4, 5, 0, 1, 0, 1, 50, 90 }) })
        pedal->sendReport (report);
    pumpPending();
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "效验码出错效验码出错");

    EXPECT_TRUE (Device == (uint32_t) kindMOD && page.patchRecords.size() == 4 && page.algorithmNames == names);
    EXPECT_TRUE (page.patchList.getSelectedRow() == -1 && page.algorithmList.getSelectedRow() == -1)
        << "rows the lists don't have leave none selected";
    EXPECT_EQ (h.hub().loadingWindow, nullptr);
    EXPECT_EQ (knobValues(), knobs);
    EXPECT_TRUE (pedal->receivedFrames().empty());
}
