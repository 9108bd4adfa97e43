#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "cab/KVCABView.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "support/EditorHarness.h"

using namespace tessel::test;
using tessel::sim::Fault;
using tessel::sim::PedalSimulator;

namespace
{
/** A CAB pedal, connected and dumped, with its wire cleared for the test. */
struct ConnectedCab
{
    explicit ConnectedCab (int patches = 12)
    {
        pedal = h.connect (kindCAB, patches);
        pedal->clearReceivedFrames();
    }

    std::vector<std::vector<int>> sent() { return takeSentFrames (*pedal); }

    KVCABView& page() { return h.hub().cabPage(); }
    KVBallGeneratorImage& ball() { return page().ballGeneratorImage; }

    EditorHarness h;
    std::shared_ptr<PedalSimulator> pedal;
};

/** A press on the microphone picture and one drag event `by` away from it. */
void dragBall (KVBallGeneratorImage& ball, juce::Point<float> by)
{
    const juce::Point<float> grip { 10.0f, 10.0f };
    const auto now = juce::Time::getCurrentTime();
    const auto event = [&] (juce::Point<float> at)
    {
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), at,
                                 juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1.0f, 0.0f, 0.0f, 0.0f,
                                 0.0f, &ball, &ball, now, grip, now, 1, at != grip);
    };

    ball.mouseDown (event (grip));
    ball.mouseDrag (event (grip + by));
}

IrTable irTableOf (std::initializer_list<const char*> names)
{
    IrTable table;
    for (auto* name : names)
        appendEntry (table, name);
    return table;
}

juce::uint64 pixelHash (const juce::Image& image)
{
    juce::uint64 hash = 17;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            hash = hash * 31 + (juce::uint64) image.getPixelAt (x, y).getARGB();
    return hash;
}
} // namespace

TEST (CabPage, ShowsAtOnceAndDownloadsItsPatchesThenSelectsTheCurrentOne)
{
    {
        // The page comes with the identity, before any record: here none ever arrives.
        EditorHarness h;
        auto pedal = PedalSimulator::create (kindCAB);
        pedal->injectFault (Fault::noAnswer, Command::requestPreset);
        h.bus.plug (pedal);
        ASSERT_TRUE (pumpUntil ([&] { return ! h.hub().ampPage().isVisible(); }));
        EXPECT_EQ (h.hub().getBounds(), juce::Rectangle<int> (0, 0, 741, 518));
        EXPECT_EQ (h.hub().cabPage().getBounds(), h.hub().getBounds());
        EXPECT_FALSE (h.noDevicePage().isVisible());
    }

    EditorHarness h;
    auto pedal = h.connect (kindCAB, 3);
    auto& page = h.hub().cabPage();

    ASSERT_EQ (page.patchRecords.size(), 3);
    const auto record = pedal->recordOf (0);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ ((int) page.knobSliders[(size_t) k].getValue(), record[(size_t) (3 + k)]);

    // The IR index, left for the volume to arrive, is not waited for once the pedal goes.
    h.unplug (pedal);
    EXPECT_EQ (page.patchRecords.size(), 0);
    EXPECT_FALSE (page.irLoadPending);

    // A dump the pedal gives up on half-way still ends as a CAB dump ends.
    const juce::ScopedValueSetter<int> quickly (ConnectionSequence::recordTimeoutMs, 50);
    for (int attempt = 0; attempt <= ConnectionSequence::recordRequestRetries; ++attempt)
        pedal->injectFault (Fault::noAnswer, Command::requestPreset, attempt == 0 ? 1 : 0);
    pedal->clearReceivedFrames();
    h.bus.plug (pedal);
    ASSERT_TRUE (pumpUntil ([&] { return page.irLoadPending; }));
    EXPECT_EQ (page.patchRecords.size(), 1);
    // The pedal is taken out of its transfer state, then told the current patch.
    const auto stalled = takeSentFrames (*pedal);
    const auto endOfDump = std::find (stalled.begin(), stalled.end(), std::vector<int> { Command::transferState, 0 });
    EXPECT_NE (std::find (endOfDump, stalled.end(), std::vector<int> { Command::selectPatch, 0 }), stalled.end());
}

TEST (CabPage, ThePedalsOwnChangesShowWithoutAnEcho)
{
    ConnectedCab cab;
    auto& page = cab.page();
    auto& pedal = *cab.pedal;

    const std::tuple<const char*, std::function<void()>, std::function<bool()>> cases[] = {
        { "VOL", [&] { pedal.turnKnob (0, 42); }, [&] { return page.knobSliders[0].getValue() == 42; } },
        { "X", [&] { pedal.turnKnob (1, 99); }, [&] { return page.knobSliders[1].getValue() == 99 && cab.ball().getX() == 136; } },
        { "Y", [&] { pedal.turnKnob (2, 0); }, [&] { return page.knobSliders[2].getValue() == 0 && cab.ball().getY() == 97; } },
        { "X past the pad", [&] { pedal.turnKnob (1, 150); }, [&] { return cab.ball().getX() == 136; } },
        // One picture for every five values.
        { "Z", [&] { pedal.turnKnob (3, 7); }, [&]
          {
              const auto shown = pixelHash (cab.ball().getImage());
              return shown == pixelHash (KVCABView::getMicImage (5)) && shown != pixelHash (KVCABView::getMicImage (4));
          } },
        { "microphone", [&] { pedal.setMicrophoneOnPedal (3); }, [&] { return page.micSlider.getValue() == 4 && page.micCombo.getText() == "D421"; } },
        { "room", [&] { pedal.setRoomLevelOnPedal (0); }, [&] { return page.cabParamSlider.getValue() == 0 && std::abs (page.cabParamImage.getAlpha() - 0.5f) < 0.01f; } },
        { "room up", [&] { pedal.setRoomLevelOnPedal (6); }, [&] { return page.cabParamSlider.getValue() == 6 && page.cabParamImage.getAlpha() == 1.0f; } },
        { "power amp off", [&] { pedal.setPowerAmpOnPedal (0); }, [&] { return page.powerAmpCombo.getText() == "OFF" && ! page.powerAmpParamSlider.isEnabled(); } },
        { "power amp", [&] { pedal.setPowerAmpOnPedal (4); }, [&] { return page.powerAmpCombo.getText() == "EL34P" && page.powerAmpParamSlider.isEnabled(); } },
        { "presence", [&] { pedal.setPresenceOnPedal (5); }, [&] { return page.powerAmpParamSlider.getValue() == 5; } },
        { "patch", [&] { pedal.selectPatchOnPedal (9); }, [&] { return page.patchList.getSelectedRow() == 9 && page.knobSliders[0].getValue() == pedal.recordOf (9)[3]; } },
    };

    for (const auto& [what, onPedal, shown] : cases)
    {
        onPedal();
        pumpPending();
        EXPECT_TRUE (shown()) << what;
    }
    EXPECT_TRUE (cab.sent().empty());

    // The power amp reaches the page even while another page is on show; the levels don't.
    const auto room = page.cabParamSlider.getValue();
    cab.h.hub().UpdateMainView (kindAMP);
    pedal.setPowerAmpOnPedal (2);
    pedal.setRoomLevelOnPedal (9);
    pumpPending();
    EXPECT_EQ (page.powerAmpCombo.getText(), "EL84P");
    EXPECT_EQ (page.cabParamSlider.getValue(), room);
}

TEST (CabPage, EveryControlSendsItsOwnFrame)
{
    ConnectedCab cab;
    auto& page = cab.page();

    const std::tuple<const char*, std::function<void()>, std::vector<int>> cases[] = {
        { "VOL", [&] { page.knobSliders[0].setValue (12, juce::sendNotificationSync); }, { 0x16, 0, 12 } },
        { "Z", [&] { page.knobSliders[3].setValue (33, juce::sendNotificationSync); }, { 0x16, 3, 33 } },
        { "mic knob", [&] { page.micSlider.setValue (4, juce::sendNotificationSync); }, { 0x47, 3 } },
        { "mic list", [&] { page.micCombo.setSelectedId (12, juce::sendNotificationSync); }, { 0x47, 11 } },
        { "power amp", [&] { page.powerAmpCombo.setSelectedId (6, juce::sendNotificationSync); }, { 0x41, 5 } },
        { "room", [&] { page.cabParamSlider.setValue (9, juce::sendNotificationSync); }, { 0x43, 9 } },
        { "presence", [&] { page.powerAmpParamSlider.setValue (5, juce::sendNotificationSync); }, { 0x45, 5 } },
        { "typed past the range", [&] { page.cabParamSlider.setValue (40, juce::sendNotificationSync); }, { 0x43, 9 } },
        { "IR row", [&] { page.irTable.handOver (irTableOf ({ "A.wav", "B.wav" })); page.algorithmList.selectRow (1); }, { 0x23, 1 } },
        { "patch row", [&] { page.patchList.selectRow (4); }, { 0x21, 4 } },
    };

    for (const auto& [what, act, frame] : cases)
    {
        page.cabParamSlider.setValue (0, juce::dontSendNotification);
        act();
        EXPECT_EQ (cab.sent(), std::vector<std::vector<int>> { frame }) << what;
    }

    // The two microphone controls follow each other.
    EXPECT_EQ (page.micSlider.getValue(), 12.0);
    EXPECT_EQ (page.micCombo.getText(), "INVE");

    // Save, and the patch on show read back once the pedal confirms it.
    click (page.saveButton);
    EXPECT_EQ (cab.sent(), (std::vector<std::vector<int>> { { 0x53 }, { 0x15, 4 } }));
}

TEST (CabPage, ThePadPlacesTheMicrophoneAndADragSendsXAndY)
{
    ConnectedCab cab;
    auto& page = cab.page();
    auto& ball = cab.ball();

    // Truncation both ways: knob 1 at 50 puts the picture at 68, and a drag
    // that leaves it there reads 49; knob 2 at 50 puts it at 48 and comes back as 51.
    page.knobSliders[1].setValue (50, juce::sendNotificationSync);
    page.knobSliders[2].setValue (50, juce::sendNotificationSync);
    EXPECT_EQ (ball.getPosition(), juce::Point<int> (68, 48));
    EXPECT_EQ (cab.sent(), (std::vector<std::vector<int>> { { 0x16, 1, 50 }, { 0x16, 2, 50 } }));
    dragBall (ball, { 0.0f, 0.0f });
    EXPECT_EQ (cab.sent(), (std::vector<std::vector<int>> { { 0x16, 1, 49 }, { 0x16, 2, 51 } }));

    // Far past each corner, the picture stops at the pad's edge.
    for (auto [by, x, y] : { std::tuple { -500.0f, 0, 99 }, std::tuple { 500.0f, 99, 0 } })
    {
        dragBall (ball, { by, by });
        EXPECT_EQ (ball.getPosition(), by < 0 ? juce::Point<int> (0, 0) : juce::Point<int> (136, 97));
        EXPECT_EQ (std::make_pair (page.knobSliders[1].getValue(), page.knobSliders[2].getValue()),
                   std::make_pair ((double) x, (double) y));
        EXPECT_EQ (cab.sent(), (std::vector<std::vector<int>> { { 0x16, 1, x }, { 0x16, 2, y } }));
    }

    // Bypassed, the picture neither moves nor sends.
    click (page.bypassswitchButton);
    cab.sent();
    dragBall (ball, { -50.0f, -50.0f });
    EXPECT_EQ (ball.getPosition(), juce::Point<int> (136, 97));
    EXPECT_TRUE (cab.sent().empty());
}

TEST (CabPage, BypassAndMuteMoveBetweenTheThreeEffectStates)
{
    ConnectedCab cab;
    auto& page = cab.page();

    // Bypass on and enabled, mute on and enabled, the other controls enabled.
    using Shown = std::array<bool, 5>;
    const auto expectShown = [&] (const Shown& s, const char* when)
    {
        const Shown shown { page.bypassswitchButton.getToggleState(), page.bypassswitchButton.isEnabled(),
                            page.mutewitchButton.getToggleState(), page.mutewitchButton.isEnabled(),
                            page.knobSliders[0].isEnabled() };
        EXPECT_EQ (shown, s) << when;
        for (juce::Component* c : { (juce::Component*) &page.micCombo, (juce::Component*) &page.ballGeneratorImage,
                                    (juce::Component*) &page.algorithmList, (juce::Component*) &page.saveIrButton,
                                    (juce::Component*) &page.patchList })
            EXPECT_EQ (c->isEnabled(), s[4]) << when;
        EXPECT_TRUE (page.setButton.isEnabled()) << when;
    };

    const Shown on { true, true, true, true, true }, bypassed { false, true, true, false, false },
        muted { true, false, false, true, false };
    expectShown (on, "after the dump");

    const std::tuple<const char*, std::function<void()>, int, Shown> steps[] = {
        { "bypass clicked", [&] { click (page.bypassswitchButton); }, 0, bypassed },
        { "bypass clicked again", [&] { click (page.bypassswitchButton); }, 1, on },
        { "mute clicked", [&] { click (page.mutewitchButton); }, 2, muted },
        { "mute clicked again", [&] { click (page.mutewitchButton); }, 1, on },
        { "pedal mutes", [&] { cab.pedal->setBypassOnPedal (2); }, -1, muted },
        // Muted and then bypassed on the pedal: the bypass switch must stay usable.
        { "pedal bypasses", [&] { cab.pedal->setBypassOnPedal (0); }, -1, bypassed },
        { "pedal on", [&] { cab.pedal->setBypassOnPedal (1); }, -1, on },
    };

    for (const auto& [what, act, sent, shown] : steps)
    {
        act();
        pumpPending();
        const auto frames =
            sent < 0 ? std::vector<std::vector<int>>() : std::vector<std::vector<int>> { { Command::setBypass, sent } };
        EXPECT_EQ (cab.sent(), frames) << what;
        expectShown (shown, what);
    }

    // Presence stays off with the power amp off, whatever the bypass does.
    page.powerAmpCombo.setSelectedId (1, juce::sendNotificationSync);
    EXPECT_FALSE (page.powerAmpParamSlider.isEnabled());
    click (page.bypassswitchButton);
    click (page.bypassswitchButton);
    EXPECT_FALSE (page.powerAmpParamSlider.isEnabled());
    page.powerAmpCombo.setSelectedId (2, juce::sendNotificationSync);
    EXPECT_TRUE (page.powerAmpParamSlider.isEnabled());
}

TEST (CabPage, AnIrTableIsSwappedInWholeOnTheMessageThread)
{
    ConnectedCab cab;
    auto& page = cab.page();
    auto& list = page.algorithmListModel;

    // Patch 0's IR is row 0: once the table arrives, that row shows selected.
    std::thread worker ([&] { page.irTable.handOver (irTableOf ({ "RADIO 1x5.wav", "b.wav", "c.wav", "d.wav" })); });
    worker.join();
    EXPECT_EQ (list.getNumRows(), 0);
    pumpPending();
    EXPECT_EQ (list.getNumRows(), 4);
    EXPECT_EQ (list.rowText (4), "");
    EXPECT_EQ (page.algorithmList.getSelectedRow(), 0);

    // Several rows: the description is the one clicked last, the pedal gets the first.
    page.algorithmList.selectRow (2);
    page.algorithmList.selectRow (1, false, false);
    page.algorithmList.flipRowSelection (3);
    cab.sent();
    page.algorithmList.flipRowSelection (1);
    EXPECT_EQ (cab.sent(), (std::vector<std::vector<int>> { { Command::selectAlgorithm, 2 } }));
    EXPECT_EQ (page.diagnosticsBox.getText(), "");

    // With nothing selected, the IR file buttons only ask for a selection.
    page.algorithmList.deselectAllRows();
    click (page.saveIrButton);
    EXPECT_EQ (cab.h.messages().back().text, "Please select at least one IR file.");
}
