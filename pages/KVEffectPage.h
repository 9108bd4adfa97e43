#pragma once

#include <array>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/PatchRecord.h"
#include "pagekit/KVPageBase.h"

/** What the MOD and DLY pages share: five knobs, the patch and algorithm
    lists with the description box, the expression-pedal settings, the tempo
    division that stands in for knob 4 while the pedal syncs to tap tempo,
    the bypass switch and the Set, Import, Export and Save buttons. Each page
    adds its own controls, lays them out and stacks them in its own order.
    Values from the pedal are set without notification, so nothing the pedal
    reports is echoed back. */
class KVEffectPage : public KVPageBase,
                     private juce::Slider::Listener,
                     private juce::ComboBox::Listener
{
public:
    static constexpr int numKnobs = 5;
    static constexpr int rateKnob = 4;

    ~KVEffectPage() override;

    /** Enables or disables the editing controls; the Set button and the
        bypass switch stay usable while the effect is off. Knob 4 and the
        division follow the tap-tempo sync while the effect is on. */
    void setAllViewEnabled (bool on) override;

    /** Knob 4 and the division selector by the tap-tempo sync: while the
        effect is on, one of the two is usable; while it is off, neither. */
    void showTempoSync (bool effectOn);

    /** Shows record `patch` of patchRecords in the controls, sending nothing. */
    void updateAmpInformation (int patch) override;

    /** Shows the catalogue's description of algorithm number `algorithm`. */
    void UpdateDiagnosticsBox (int algorithm) override;

    /** The pedal's tap-tempo sync: knob 4 or the division follows. */
    virtual void showTapTempo (bool sync);

    /** The expression pedal's target, its range and the input mode the pedal
        reports, like every reported value shown without an answer. */
    void showExpressionTarget (int target);
    void showExpressionRange (int minimum, int maximum);
    void showInputMode (int mode);

    /** The tempo division the pedal reports. */
    void showDivision (int division);

    // What the pedal page answers and is told.
    int pageKind() const override { return kind; }
    int patchCount() const override { return patchRecords.size(); }
    int lastRecordCurrentPatch() const override { return lastCurrentPatchOf (patchRecords); }
    void showKnob (int knob, int value) override;
    void storeRecord (const std::array<uint8_t, PatchRecord::maxSize>& record) override;
    void forgetPedal() override;

    KVLinearLookAndFeel linearLookAndFeel;
    KVComboxLookAndFeel comboxLookAndFeel;
    std::array<juce::Slider, numKnobs> knobSliders;
    juce::ComboBox divideCombo;
    bool tapTempoSync = false;
    juce::Slider rangeMinSlider;
    juce::Slider rangeMaxSlider;
    juce::ComboBox inputModeCombo;
    juce::ComboBox objectCombo;
    juce::OwnedArray<EffectShape> patchRecords;

protected:
    /** Sets up the shared controls (without adding them: each page adds its
        children in its own stacking order). */
    KVEffectPage (int kind, const char* catalogueSection, const juce::StringArray& knobNames);

    /** The expression pedal's target and range, where both pages have them. */
    void placeExpressionControls (std::vector<Placement>& placements);

    /** The page's own combo box changed; enablement and a patch's values for
        its extra controls. */
    virtual void handleOwnComboBox (juce::ComboBox*) {}
    virtual void setOwnControlsEnabled (bool) {}
    virtual void showOwnPatchValues (const EffectShape&) {}

    /** Dresses a combo box as the page's combo boxes are dressed. */
    void setUpCombo (juce::ComboBox& box, const juce::StringArray& items, juce::Justification justification);

private:
    void comboBoxChanged (juce::ComboBox*) override;
    void sliderValueChanged (juce::Slider*) override;

    const int kind;
    const juce::String section;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVEffectPage)
};

/** The tempo divisions, in the order the pedal numbers them. */
const juce::StringArray tempoDivisions { "1",    "1/2", "1/2D", "1/2T", "1/4", "1/4D",
                                         "1/4T", "1/8", "1/8D", "1/8T", "1/16" };

/** The input modes; the pedal's stereo item reads with a trailing blank. */
const juce::StringArray inputModes { "MONO", "STEREO " };
