#include "pages/KVEffectPage.h"

#include <cstdio>

#include "device/CommandSenders.h"
#include "pagekit/AlgorithmCatalog.h"
#include "pagekit/PageControls.h"
#include "ui/Palette.h"

using namespace PageControls;

namespace
{
constexpr int rangeMaximum = 100;
constexpr int rangeTextBoxWidth = 27;
constexpr int rangeTextBoxHeight = 10;
constexpr float syncedKnobAlpha = 0.3f;

void setUpRangeSlider (juce::Slider& slider, juce::LookAndFeel& look, juce::Slider::Listener& listener)
{
    slider.setSliderStyle (juce::Slider::LinearHorizontal);
    slider.setTextBoxStyle (juce::Slider::TextBoxRight, false, rangeTextBoxWidth, rangeTextBoxHeight);
    slider.setRange (0.0, rangeMaximum, 1.0);
    slider.setValue (0.0, juce::dontSendNotification);
    slider.setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack);
    slider.setColour (juce::Slider::textBoxBackgroundColourId, juce::Colours::transparentBlack);

    for (auto id : { juce::Slider::textBoxTextColourId, juce::Slider::textBoxHighlightColourId,
                     juce::Slider::rotarySliderFillColourId, juce::Slider::rotarySliderOutlineColourId,
                     juce::Slider::thumbColourId, juce::Slider::trackColourId })
        slider.setColour (id, Palette::accent);

    slider.setLookAndFeel (&look);
    slider.addListener (&listener);
}

void changeAlpha (juce::Component& component, float alpha)
{
    if (component.getAlpha() != alpha)
        component.setAlpha (alpha);
}
} // namespace

KVEffectPage::KVEffectPage (int pedalKind, const char* catalogueSection, const juce::StringArray& knobNames)
    : kind (pedalKind),
      section (catalogueSection)
{
    setUpRangeSlider (rangeMaxSlider, linearLookAndFeel, *this);
    setUpRangeSlider (rangeMinSlider, linearLookAndFeel, *this);

    setUpCombo (objectCombo, knobNames, juce::Justification::centred);
    objectCombo.setSelectedId (1, juce::dontSendNotification);
    setUpCombo (inputModeCombo, inputModes, juce::Justification::centred);
    inputModeCombo.setSelectedId (1, juce::dontSendNotification);
    setUpCombo (divideCombo, tempoDivisions, juce::Justification::centred);
    divideCombo.setColour (juce::ComboBox::textColourId, Palette::lightText);
    divideCombo.setEnabled (false);

    for (auto& knob : knobSliders)
        setUpKnob (knob, customLookAndFeel, *this);
}

KVEffectPage::~KVEffectPage()
{
    for (auto& knob : knobSliders)
        knob.setLookAndFeel (nullptr);

    for (auto* slider : { &rangeMinSlider, &rangeMaxSlider })
        slider->setLookAndFeel (nullptr);

    for (auto* box : { &divideCombo, &inputModeCombo, &objectCombo })
        box->setLookAndFeel (nullptr);
}

void KVEffectPage::setUpCombo (juce::ComboBox& box, const juce::StringArray& items, juce::Justification justification)
{
    box.setEditableText (false);
    box.addItemList (items, 1);
    box.setJustificationType (justification);
    box.setColour (juce::ComboBox::backgroundColourId, juce::Colours::transparentBlack);
    box.setColour (juce::ComboBox::arrowColourId, Palette::accent);
    box.setColour (juce::ComboBox::textColourId, Palette::accent);
    box.setColour (juce::ComboBox::outlineColourId, Palette::comboOutline);
    box.setLookAndFeel (&comboxLookAndFeel);
    box.addListener (this);
}

void KVEffectPage::placeExpressionControls (std::vector<Placement>& placements)
{
    placements.insert (placements.end(),
                       {
                           { &objectCombo, { 360, 200, 70, 17 } },
                           { &rangeMinSlider, { 575, 200, 100, 12 } },
                           { &rangeMaxSlider, { 575, 210, 100, 12 } },
                       });
}

void KVEffectPage::comboBoxChanged (juce::ComboBox* box)
{
    const auto value = box->getSelectedId() - 1;

    if (box == &inputModeCombo)
        DEVICEHID_DEBUG_SET_INPUTMOD (value);
    else if (box == &objectCombo)
        DEVICEHID_DEBUG_SET_OBJECT (value);
    else if (box == &divideCombo)
        DEVICEHID_DEBUG_SET_DIVIDE (value);
    else
        handleOwnComboBox (box);
}

void KVEffectPage::sliderValueChanged (juce::Slider* slider)
{
    if (slider == &rangeMinSlider || slider == &rangeMaxSlider)
    {
        // Sent as they stand: the pedal takes a minimum above the maximum.
        DEVICEHID_DEBUG_SET_RANG ((int) rangeMinSlider.getValue(), (int) rangeMaxSlider.getValue());
        return;
    }

    for (int k = 0; k < numKnobs; ++k)
    {
        if (slider != &knobSliders[(size_t) k])
            continue;

        // While the pedal follows tap tempo, the division stands in for knob 4.
        if (k == rateKnob && tapTempoSync)
            return;

        const auto value = slider->getValue();
        DEVICEHID_DEBUG_SET_KNOB (k, (int) value);
        printf ("sasaasas ::::  %f", value);
        return;
    }
}

void KVEffectPage::showTempoSync (bool effectOn)
{
    auto& rate = knobSliders[rateKnob];

    if (effectOn && tapTempoSync)
    {
        rate.setEnabled (false);
        changeAlpha (rate, syncedKnobAlpha);
        divideCombo.setEnabled (true);
    }
    else if (effectOn)
    {
        changeAlpha (rate, 1.0f);
        rate.setEnabled (true);
        divideCombo.setEnabled (false);
    }
    else
    {
        rate.setEnabled (false);
        divideCombo.setEnabled (false);
    }
}

void KVEffectPage::setAllViewEnabled (bool on)
{
    for (int k = 0; k < rateKnob; ++k)
        knobSliders[(size_t) k].setEnabled (on);

    showTempoSync (on);

    for (auto* c : std::initializer_list<juce::Component*> { &patchList, &saveButton, &exportButton, &importButton,
                                                             &algorithmList, &rangeMinSlider, &rangeMaxSlider,
                                                             &inputModeCombo, &objectCombo })
        c->setEnabled (on);

    setOwnControlsEnabled (on);
}

void KVEffectPage::updateAmpInformation (int patch)
{
    if (patch < 0 || patch >= patchRecords.size())
        return;

    const auto& record = *patchRecords[patch];
    const auto& bytes = record.bytes;
    const int algorithm = bytes[EffectShape::algorithmByte];

    selectRowQuietly (algorithmList, algorithm, true);
    UpdateDiagnosticsBox (algorithm);

    // Knob 4 too, whatever the sync: the record holds the rate the pedal keeps.
    for (int k = 0; k < numKnobs; ++k)
        knobSliders[(size_t) k].setValue (bytes[(size_t) (PatchRecord::firstKnobByte + k)], juce::dontSendNotification);

    inputModeCombo.setSelectedId (bytes[EffectShape::inputModeByte] + 1, juce::dontSendNotification);
    objectCombo.setSelectedId (bytes[EffectShape::expressionTargetByte] + 1, juce::dontSendNotification);
    rangeMinSlider.setValue (bytes[EffectShape::rangeMinByte], juce::dontSendNotification);
    rangeMaxSlider.setValue (bytes[EffectShape::rangeMaxByte], juce::dontSendNotification);

    showOwnPatchValues (record);
}

void KVEffectPage::UpdateDiagnosticsBox (int algorithm)
{
    const auto name =
        juce::isPositiveAndBelow (algorithm, algorithmNames.size()) ? algorithmNames[algorithm] : juce::String();

    if (auto text = algorithmDescription (section, name))
        diagnosticsBox.setText (*text, true);
}

void KVEffectPage::showKnob (int knob, int value)
{
    // While the pedal follows tap tempo its rate knob isn't on show.
    if (knob == rateKnob && tapTempoSync)
        return;

    if (knob >= 0 && knob < numKnobs)
        knobSliders[(size_t) knob].setValue (value, juce::dontSendNotification);
}

void KVEffectPage::storeRecord (const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    storeRecordIn (patchRecords, record);
}

void KVEffectPage::forgetPedal()
{
    KVPageBase::forgetPedal();
    // A page hidden when a newer pedal replaced its own must not show that
    // pedal's patches or names to the next.
    patchRecords.clear (true);
    patchRecords.minimiseStorageOverheads();
    algorithmNames.clear();

    // Nor does the next pedal follow the older one's tap tempo until it says so.
    tapTempoSync = false;
    showTempoSync (bypassswitchButton.getToggleState());
}

void KVEffectPage::showTapTempo (bool sync)
{
    tapTempoSync = sync;

    if (bypassswitchButton.getToggleState())
        showTempoSync (true);
}

namespace
{
/** Selects the item for a value the pedal reports (item id = value + 1);
    a value the box has no item for changes nothing. */
void selectReportedItem (juce::ComboBox& box, int value)
{
    if (juce::isPositiveAndBelow (value, box.getNumItems()))
        box.setSelectedId (value + 1, juce::dontSendNotification);
}
} // namespace

void KVEffectPage::showExpressionTarget (int target)
{
    selectReportedItem (objectCombo, target);
}

void KVEffectPage::showExpressionRange (int minimum, int maximum)
{
    // Not answered: by the time an answer arrived the pedal may be on another
    // patch, whose range it would overwrite.
    rangeMinSlider.setValue (minimum, juce::dontSendNotification);
    rangeMaxSlider.setValue (maximum, juce::dontSendNotification);
}

void KVEffectPage::showInputMode (int mode)
{
    selectReportedItem (inputModeCombo, mode);
}

void KVEffectPage::showDivision (int division)
{
    selectReportedItem (divideCombo, division);
}
