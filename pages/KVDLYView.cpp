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

    algorithmListModel.dlyPage = this;
    patchListModel.dlyPage = this;

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

    for (juce::Component* child : { (juce::Component*) &background, (juce::Component*) &rangeMaxSlider,
                                    (juce::Component*) &rangeMinSlider, (juce::Component*) &objectCombo,
                                    (juce::Component*) &inputModeCombo, (juce::Component*) &trailSwitchButton,
                                    (juce::Component*) &divideCombo, (juce::Component*) &maxDelayCombo })
        addAndMakeVisible (child);

    for (int k = numKnobs; --k >= 0;)
        addAndMakeVisible (knobSliders[(size_t) k]);

    for (juce::Component* child : { (juce::Component*) &diagnosticsBox, (juce::Component*) &algorithmList,
                                    (juce::Component*) &setButton, (juce::Component*) &importButton,
                                    (juce::Component*) &exportButton, (juce::Component*) &saveButton,
                                    (juce::Component*) &versionLabel, (juce::Component*) &patchList,
                                    (juce::Component*) &bypassswitchButton })
        addAndMakeVisible (child);
}

KVDLYView::~KVDLYView()
{
    maxDelayCombo.setLookAndFeel (nullptr);
}

void KVDLYView::resized()
{
    patchList.setBounds (51, 320, 249, 185);
    saveButton.setBounds (51, 294, 40, 20);
    exportButton.setBounds (97, 294, 49, 20);
    importButton.setBounds (152, 294, 49, 20);
    setButton.setBounds (697, 10, 34, 34);
    versionLabel.setBounds (547, 10, 149, 34);
    algorithmList.setBounds (320, 295, 227, 185);
    algorithmList.updateContent();
    diagnosticsBox.setBounds (562, 295, 128, 173);
    background.setBounds (0, 0, getWidth(), getHeight());

    for (int k = 0; k < numKnobs; ++k)
        knobSliders[(size_t) k].setBounds (knobX[k], knobY, knobSize, knobSize);

    divideCombo.setBounds (198, 235, 70, 17);
    maxDelayCombo.setBounds (520, 235, 70, 17);
    trailSwitchButton.setBounds (622, 131, 19, 39);
    inputModeCombo.setBounds (167, 200, 70, 17);
    objectCombo.setBounds (360, 200, 70, 17);
    rangeMinSlider.setBounds (575, 200, 100, 12);
    rangeMaxSlider.setBounds (575, 210, 100, 12);
    bypassswitchButton.setBounds (345, 235, 39, 19);
}

bool KVDLYView::handleOwnButton (const juce::String& key)
{
    if (! key.equalsIgnoreCase ("trailSwitchButton"))
        return false;

    const bool on = ! trailSwitchButton.getToggleState();
    trailSwitchButton.setToggleState (on, juce::dontSendNotification);
    DEVICEHID_DEBUG_SET_TRAIL (on ? 1 : 0);
    return true;
}

void KVDLYView::handleOwnComboBox (juce::ComboBox* box)
{
    if (box != &maxDelayCombo)
        return;

    sendLiveFrame (HidPacket::command (Command::setMaxDelay, { maxDelayCombo.getSelectedId() * maxDelayUnitsPerItem, 0 }));
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

void KVDLYView::showSetMenu()
{
    showMenu (setMenuItems, popupMenuLookAndFeel, menuItemChosenCallback, this);
}

void KVDLYView::showImportMenu()
{
    showMenu (importMenuItems, popupMenuLookAndFeel, ImportMenuItemChosenCallback, this);
}

void KVDLYView::showExportMenu()
{
    showMenu (exportMenuItems, popupMenuLookAndFeel, ExportMenuItemChosenCallback, this);
}
