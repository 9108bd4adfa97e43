#include <gtest/gtest.h>

#include "pagekit/FirmwareUpdate.h"
#include "app/MainContentComponent.h"
#include "cab/KVCABView.h"
#include "device/LiveLink.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "support/EditorHarness.h"

using namespace tessel::sim;
using namespace tessel::test;

TEST (Hub, BeforeAnyPageIsShownTheAmpPageTakesWhatTheHubIsGiven)
{
    EditorHarness h;
    auto& page = h.ampPage();
    EXPECT_TRUE (page.isVisible() && page.getWidth() == 0);

    // Held to the range; knobs outside the page are checked with the other out-of-range reports.
    h.hub().SetSliderValue (1, 40);
    h.hub().SetSliderValue (0, 200);
    EXPECT_TRUE (page.knobSliders[1].getValue() == 40.0 && page.knobSliders[0].getValue() == 99.0);

    // Kinds outside the table change nothing.
    h.hub().UpdateMainView (0);
    h.hub().UpdateMainView (5);
    EXPECT_TRUE (h.hub().getWidth() == 780 && h.noDevicePage().isVisible());
}

TEST (Hub, ARecordThePageAlreadyHoldsReplacesItWithoutStartingADump)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 3);
    auto& page = h.ampPage();
    pedal->clearReceivedFrames();

    h.hub().UpdateAlgorithmPreset ({ 3, 2, 0, 88, 1, 2, 3, 4, 1, 0 });
    pumpPending();

    EXPECT_TRUE (page.patchRecords.size() == 3 && page.patchRecords[0]->bytes[3] == 88
                 && page.patchList.getSelectedRow() == 2);
    EXPECT_TRUE (h.hub().loadingWindow == nullptr && pedal->receivedFrames().empty())
        << "no further record is asked for";
}

TEST (Hub, APedalThisUserMayNotOpenIsToldWithHowToAllowIt)
{
    EditorHarness h;
    auto usb = PedalSimulator::create (kindAMP)->identity();
    usb.accessible = false;
    auto pedal = std::make_shared<PedalSimulator> (kindAMP, usb);

    h.plugIn (pedal);
    EXPECT_EQ (h.noDevicePage().statusLabel.getText(), "Pedal found, but it cannot be opened.");
    const auto hint = h.noDevicePage().hintLabel.getText();
    EXPECT_TRUE (deviceRef.load() == nullptr && hint.contains ("cmake --install") && hint.contains ("udevadm trigger"))
        << hint;

    h.unplug (pedal);
    EXPECT_EQ (h.noDevicePage().statusLabel.getText() + "|" + h.noDevicePage().hintLabel.getText(),
               "No Device Connected.|");
}

TEST (Hub, DisconnectingResetsTheFirmwareWriterAndClearsEveryPageTwiceHarmlessly)
{
    EditorHarness h;
    h.connect (kindAMP, 2);
    h.connect (kindDLY, 3); // the AMP page, hidden now, still holds the older pedal's records
    UpdateNumber = 7;
    data32_t = UpdateMode::programStart + 140;
    auto& page = h.ampPage();

    for (int i = 0; i < 2; ++i)
    {
        h.hub().disconnect();
        EXPECT_EQ (UpdateNumber.load(), 1u);
        EXPECT_EQ (data32_t.load(), UpdateMode::programStart);
        EXPECT_TRUE (page.patchRecords.isEmpty() && page.patchList.getModel()->getNumRows() == 0
                     && page.algorithmNames.isEmpty() && h.hub().connection == nullptr)
            << "records and names left";
        EXPECT_TRUE (h.noDevicePage().isVisible() && ! h.hub().dlyPage().isVisible()
                     && ! h.noDevicePage().firmwareButton.isVisible());
        EXPECT_EQ (h.hub().getBounds(), juce::Rectangle<int> (0, 0, 780, 408));
    }
}

TEST (Hub, ValuesChangedOnThePedalJustBeforeItStepsToAnotherPatchLeaveThatPatchOnShowAndGoNowhere)
{
    for (auto kind : { kindMOD, kindDLY, kindCAB })
    {
        SCOPED_TRACE ((int) kind);
        EditorHarness h;
        auto pedal = h.connect (kind, 4);
        pedal->clearReceivedFrames();
        const auto patchOne = pedal->parametersOf (1);

        // Values changed on patch 0, each unlike patch 1's, all reach the editor before it looks.
        if (kind == kindCAB)
        {
            for (auto change : { &PedalSimulator::setMicrophoneOnPedal, &PedalSimulator::setPowerAmpOnPedal,
                                 &PedalSimulator::setPresenceOnPedal, &PedalSimulator::setRoomLevelOnPedal })
                ((*pedal).*change) (8);
        }
        else
        {
            pedal->setTrailOnPedal (0);
            pedal->setInputModeOnPedal (0);
            pedal->setExpressionTargetOnPedal (3);
            pedal->setExpressionRangeOnPedal (15, 70);
        }
        pedal->selectPatchOnPedal (1);
        pumpPending();

        // What the page shows of the record's bytes from 8 (CAB) or 9 (MOD, DLY) on.
        std::vector<int> shown;
        if (kind == kindCAB)
        {
            auto& page = h.hub().cabPage();
            shown = { page.micCombo.getSelectedId() - 1, page.powerAmpCombo.getSelectedId() - 1,
                      (int) page.powerAmpParamSlider.getValue(), (int) page.cabParamSlider.getValue() };
        }
        else
        {
            auto& page = kind == kindDLY ? (KVEffectPage&) h.hub().dlyPage() : h.hub().modPage();
            shown = { page.algorithmList.getSelectedRow(), page.inputModeCombo.getSelectedId() - 1,
                      page.objectCombo.getSelectedId() - 1, (int) page.rangeMinSlider.getValue(),
                      (int) page.rangeMaxSlider.getValue() };
            if (kind == kindDLY)
            {
                EXPECT_EQ (h.hub().dlyPage().trailSwitchButton.getToggleState(), patchOne[5] != 0);
            }
        }
        EXPECT_EQ (shown, std::vector<int> (patchOne.end() - (long) shown.size(), patchOne.end()));
        EXPECT_TRUE (takeSentFrames (*pedal).empty() && pedal->parametersOf (1) == patchOne)
            << "a value from the pedal went back to it";
    }
}
