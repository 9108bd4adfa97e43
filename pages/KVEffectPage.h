#pragma once

#include <array>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/PatchRecord.h"
#include "ui/KVLookAndFeel.h"
#include "pagekit/KVSourceItemListboxContents.h"

class KVNoDevice;

/** What the MOD and DLY pages share: five knobs, the patch and algorithm
    lists with the description box, the expression-pedal settings, the tempo
    division that stands in for knob 4 while the pedal syncs to tap tempo,
    the bypass switch and the Set, Import, Export and Save buttons. Each page
    adds its own controls, lays them out and stacks them in its own order.
    Values from the pedal are set without notification, so nothing the pedal
    reports is echoed back. */
class KVEffectPage : public juce::Component,
                     private juce::Slider::Listener,
                     public juce::DragAndDropContainer,
                     private juce::ComboBox::Listener,
                     protected juce::Button::Listener
{
public:
    static constexpr int numKnobs = 5;
    static constexpr int rateKnob = 4;

    ~KVEffectPage() override;

    void paint (juce::Graphics&) override;

    /** Enables or disables the editing controls; the Set button and the
        bypass switch stay usable while the effect is off. Knob 4 and the
        division follow the tap-tempo sync while the effect is on. */
    void setAllViewEnabled (bool on);

    /** Knob 4 and the division selector by the tap-tempo sync: while the
        effect is on, one of the two is usable; while it is off, neither. */
    void showTempoSync (bool effectOn);

    /** Shows record `patch` of patchRecords in the controls, sending nothing. */
    void updateAmpInformation (int patch);

    /** Shows the catalogue's description of algorithm number `algorithm`. */
    void UpdateDiagnosticsBox (int algorithm);

    juce::ImageButton importButton;
    juce::ImageButton exportButton;
    juce::ImageButton setButton;
    juce::ImageButton saveButton;
    juce::TextEditor diagnosticsBox;
    juce::ImageComponent background;
    juce::Label versionLabel;
    KVLinearLookAndFeel linearLookAndFeel;
    KVCustomLookAndFeel customLookAndFeel;
    KVPopupMenuLookAndFeel popupMenuLookAndFeel;
    KVComboxLookAndFeel comboxLookAndFeel;
    std::array<juce::Slider, numKnobs> knobSliders;
    juce::ComboBox divideCombo;
    bool tapTempoSync = false;
    juce::ListBox algorithmList;
    KVSourceItemListboxContents algorithmListModel;
    KVSourceItemListboxContents patchListModel;
    juce::ListBox patchList;
    juce::ImageButton bypassswitchButton;
    juce::Slider rangeMinSlider;
    juce::Slider rangeMaxSlider;
    juce::ComboBox inputModeCombo;
    juce::ComboBox objectCombo;
    juce::OwnedArray<EffectShape> patchRecords;
    KVNoDevice* noDevice = nullptr;

protected:
    /** Sets up the shared controls (without adding them: each page adds its
        children in its own stacking order). */
    KVEffectPage (int kind, const char* catalogueSection, const juce::StringArray& knobNames);

    /** The page's own algorithm names in its list model. */
    virtual const juce::StringArray& algorithmNames() const = 0;

    // The menus' results go to the page's own free functions.
    virtual void showSetMenu() = 0;
    virtual void showImportMenu() = 0;
    virtual void showExportMenu() = 0;

    /** The page's own controls: a button or combo box it handles itself
        returns true; enablement and a patch's values for its extra controls. */
    virtual bool handleOwnButton (const juce::String&) { return false; }
    virtual void handleOwnComboBox (juce::ComboBox*) {}
    virtual void setOwnControlsEnabled (bool) {}
    virtual void showOwnPatchValues (const EffectShape&) {}

    /** Dresses a combo box as the page's combo boxes are dressed. */
    void setUpCombo (juce::ComboBox& box, const juce::StringArray& items, juce::Justification justification);

    void buttonClicked (juce::Button*) override;

private:
    void comboBoxChanged (juce::ComboBox*) override;
    void sliderValueChanged (juce::Slider*) override;

    const juce::String section;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVEffectPage)
};

/** The tempo divisions, in the order the pedal numbers them. */
const juce::StringArray tempoDivisions { "1", "1/2", "1/2D", "1/2T", "1/4", "1/4D", "1/4T", "1/8", "1/8D", "1/8T", "1/16" };

/** The input modes; the pedal's stereo item reads with a trailing blank. */
const juce::StringArray inputModes { "MONO", "STEREO " };
