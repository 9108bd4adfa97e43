#include "pages/KVDLYView.h"

#include "TesselImages.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "pagekit/PageControls.h"
#include "ui/Palette.h"

using namespace PageControls;

namespace
{
constexpr int knobX[KVEffectPage::numKnobs] = { 75, 179, 282, 385, 489 };
constexpr int knobY = 112;
constexpr int knobSize = 87;

/** The pedal takes the maximum delay time in hundreds of milliseconds. */
constexpr int maxDelayUnitsPerItem = 10;
} // namespace

KVDLYView::KVDLYView()
    : KVEffectPage (kindDLY, "DLY", { "MIX", "A", "B", "F.BACK", "TIME" })
{
    using namespace TesselImages;

    background.setImage (picture (dly_page_background_png, dly_page_background_pngSize));
    inputModeCombo.setJustificationType (juce::Justification::left);

    setUpSwitch (trailSwitchButton, picture (trail_switch_off_png, trail_switch_off_pngSize),
                 picture (trail_switch_on_png, trail_switch_on_pngSize), "trailSwitchButton", *this);

    juce::StringArray times;
    for (auto ms : maxDelayTimes)
        times.add (juce::String (ms));
    setUpCombo (maxDelayCombo, times, juce::Justification::centred);
    maxDelayCombo.setColour (juce::ComboBox::textColourId, Palette::lightText);
    maxDelayCombo.setSelectedId (1, juce::dontSendNotification);

    for (juce::Component* child :
         { (juce::Component*) &background, (juce::Component*) &rangeMaxSlider, (juce::Component*) &rangeMinSlider,
           (juce::Component*) &objectCombo, (juce::Component*) &inputModeCombo, (juce::Component*) &trailSwitchButton,
           (juce::Component*) &divideCombo, (juce::Component*) &maxDelayCombo })
        addAndMakeVisible (child);

    for (int k = numKnobs; --k >= 0;)
        addAndMakeVisible (knobSliders[(size_t) k]);

    for (juce::Component* child :
         { (juce::Component*) &diagnosticsBox, (juce::Component*) &algorithmList, (juce::Component*) &setButton,
           (juce::Component*) &importButton, (juce::Component*) &exportButton, (juce::Component*) &saveButton,
           (juce::Component*) &versionLabel, (juce::Component*) &patchList, (juce::Component*) &bypassswitchButton })
        addAndMakeVisible (child);
}

KVDLYView::~KVDLYView()
{
    maxDelayCombo.setLookAndFeel (nullptr);
}

std::vector<KVPageBase::Placement> KVDLYView::layout()
{
    std::vector<Placement> placements;
    placeEffectPageLists (placements, 320, 294, 295);
    placeExpressionControls (placements);
    placements.insert (placements.end(),
                       {
                           { &divideCombo, { 198, 235, 70, 17 } },
                           { &maxDelayCombo, { 520, 235, 70, 17 } },
                           { &trailSwitchButton, { 622, 131, 19, 39 } },
                           { &inputModeCombo, { 167, 200, 70, 17 } },
                           { &bypassswitchButton, { 345, 235, 39, 19 } },
                       });

    placeKnobs (placements, knobSliders, knobX, knobY, knobSize);
    return placements;
}

bool KVDLYView::handleOwnButton (const juce::String& key)
{
    if (! key.equalsIgnoreCase ("trailSwitchButton"))
        return false;

    DEVICEHID_DEBUG_SET_TRAIL (flipSwitch (trailSwitchButton) ? 1 : 0);
    return true;
}

void KVDLYView::handleOwnComboBox (juce::ComboBox* box)
{
    if (box != &maxDelayCombo)
        return;

    sendLiveFrame (
        HidPacket::command (Command::setMaxDelay, { maxDelayCombo.getSelectedId() * maxDelayUnitsPerItem, 0 }));
}

void KVDLYView::setOwnControlsEnabled (bool on)
{
    maxDelayCombo.setEnabled (on);
    trailSwitchButton.setEnabled (on);
}

void KVDLYView::showOwnPatchValues (const EffectShape& record)
{
    trailSwitchButton.setToggleState (record.bytes[EffectShape::trailByte] != 0, juce::dontSendNotification);
}

void KVDLYView::showEffectSwitch (int state)
{
    trailSwitchButton.setToggleState (state != 0, juce::dontSendNotification);
}

void KVDLYView::showTapTempo (bool sync)
{
    if (! sync)
        divideCombo.setSelectedId (0, juce::dontSendNotification);

    KVEffectPage::showTapTempo (sync);
}

void KVDLYView::showMaxDelay (int milliseconds)
{
    for (int i = 0; i < (int) std::size (maxDelayTimes); ++i)
        if (milliseconds == maxDelayTimes[i])
            maxDelayCombo.setSelectedId (i + 1, juce::dontSendNotification);
}

void KVDLYView::setMenuItemChosen (int result)
{
    menuItemChosenCallback (result, this);
}
void KVDLYView::updateQuestionAnswered (int result)
{
    alertBoxResultChosen (result, this);
}
void KVDLYView::importMenuItemChosen (int result)
{
    ImportMenuItemChosenCallback (result, this);
}
void KVDLYView::exportMenuItemChosen (int result)
{
    ExportMenuItemChosenCallback (result, this);
}
