#include "pages/KVAMPView.h"

#include <cstdio>

#include "TesselImages.h"
#include "device/CommandSenders.h"
#include "device/ProtocolCodes.h"
#include "pagekit/AlgorithmCatalog.h"
#include "pagekit/PageControls.h"

using namespace PageControls;

namespace
{
constexpr int knobX[KVAMPView::numKnobs] = { 75, 179, 282, 385, 489 };
constexpr int knobY = 128;
constexpr int knobSize = 87;
} // namespace

KVAMPView::KVAMPView()
{
    using namespace TesselImages;

    addAndMakeVisible (background);
    background.setImage (picture (amp_page_background_png, amp_page_background_pngSize));

    addAndMakeVisible (bypassswitchButton);
    addAndMakeVisible (switchButton);
    setUpSwitch (switchButton, picture (cab_switch_top_lit_png, cab_switch_top_lit_pngSize),
                 picture (cab_switch_bottom_dark_png, cab_switch_bottom_dark_pngSize), "switchButton", *this);

    for (int k = numKnobs; --k >= 0;)
    {
        auto& knob = knobSliders[(size_t) k];
        addAndMakeVisible (knob);
        setUpKnob (knob, customLookAndFeel, *this);
    }

    for (juce::Component* child :
         { (juce::Component*) &diagnosticsBox, (juce::Component*) &versionLabel, (juce::Component*) &setButton,
           (juce::Component*) &importButton, (juce::Component*) &exportButton, (juce::Component*) &saveButton,
           (juce::Component*) &algorithmList, (juce::Component*) &patchList })
        addAndMakeVisible (child);
}

KVAMPView::~KVAMPView()
{
    for (auto& knob : knobSliders)
        knob.setLookAndFeel (nullptr);
}

std::vector<KVPageBase::Placement> KVAMPView::layout()
{
    std::vector<Placement> placements;
    placeEffectPageLists (placements, 302, 276, 290);
    placements.push_back ({ &switchButton, { 622, 145, 19, 39 } });
    placements.push_back ({ &bypassswitchButton, { 368, 216, 39, 19 } });

    placeKnobs (placements, knobSliders, knobX, knobY, knobSize);
    return placements;
}

bool KVAMPView::handleOwnButton (const juce::String& key)
{
    if (! key.equalsIgnoreCase ("switchButton"))
        return false;

    DEVICEHID_DEBUG_SET_CAB (flipSwitch (switchButton) ? 1 : 0);
    return true;
}

void KVAMPView::sliderValueChanged (juce::Slider* slider)
{
    for (int k = 0; k < numKnobs; ++k)
    {
        if (slider == &knobSliders[(size_t) k])
        {
            const auto value = slider->getValue();
            DEVICEHID_DEBUG_SET_KNOB (k, (int) value);
            printf ("sasaasas ::::  %f", value);
            return;
        }
    }
}

void KVAMPView::setAllViewEnabled (bool on)
{
    for (auto& knob : knobSliders)
        knob.setEnabled (on);

    patchList.setEnabled (on);
    saveButton.setEnabled (on);
    exportButton.setEnabled (on);
    importButton.setEnabled (on);
    algorithmList.setEnabled (on);
    switchButton.setEnabled (on);
}

void KVAMPView::updateAmpInformation (int patch)
{
    if (patch < 0 || patch >= patchRecords.size())
        return;

    const auto& record = patchRecords[patch]->bytes;
    const int algorithm = record[AMPShape::algorithmByte];

    selectRowQuietly (algorithmList, algorithm, true);
    UpdateDiagnosticsBox (algorithm);

    for (int k = 0; k < numKnobs; ++k)
        knobSliders[(size_t) k].setValue (record[(size_t) (PatchRecord::firstKnobByte + k)],
                                          juce::dontSendNotification);

    switchButton.setToggleState (record[AMPShape::cabSimulationByte] != 1, juce::dontSendNotification);
}

void KVAMPView::UpdateDiagnosticsBox (int algorithm)
{
    const auto name =
        juce::isPositiveAndBelow (algorithm, algorithmNames.size()) ? algorithmNames[algorithm] : juce::String();

    if (auto text = algorithmDescription ("AMP", name))
        diagnosticsBox.setText (*text, true);
}

int KVAMPView::pageKind() const
{
    return kindAMP;
}

void KVAMPView::showKnob (int knob, int value)
{
    if (knob >= 0 && knob < numKnobs)
        knobSliders[(size_t) knob].setValue (value, juce::dontSendNotification);
}

void KVAMPView::showEffectSwitch (int state)
{
    // The record and the report both say 1 for the cabinet simulation off.
    switchButton.setToggleState (state != 1, juce::dontSendNotification);
}

void KVAMPView::storeRecord (const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    storeRecordIn (patchRecords, record);
}

void KVAMPView::forgetPedal()
{
    KVPageBase::forgetPedal();
    patchRecords.clear (true);
    patchRecords.minimiseStorageOverheads();
    algorithmNames.clear();
}

void KVAMPView::setMenuItemChosen (int result)
{
    menuItemChosenCallback (result, this);
}
void KVAMPView::updateQuestionAnswered (int result)
{
    alertBoxResultChosen (result, this);
}
void KVAMPView::importMenuItemChosen (int result)
{
    ImportMenuItemChosenCallback (result, this);
}
void KVAMPView::exportMenuItemChosen (int result)
{
    ExportMenuItemChosenCallback (result, this);
}
