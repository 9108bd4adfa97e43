#pragma once

#include <array>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/PatchRecord.h"
#include "ui/KVLookAndFeel.h"
#include "pagekit/KVSourceItemListboxContents.h"

class KVNoDevice;

/** The AMP pedal's page: five knobs, the patch and algorithm lists with the
    algorithm's description, the cab-simulation and bypass switches, and the
    Set, Import, Export and Save buttons. Values from the pedal are set
    without notification, so nothing the pedal reports is echoed back. */
class KVAMPView : public juce::Component,
                  private juce::Slider::Listener,
                  public juce::DragAndDropContainer,
                  private juce::Button::Listener
{
public:
    static constexpr int numKnobs = 5;

    KVAMPView();
    ~KVAMPView() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Enables or disables the editing controls; the Set button and the
        bypass switch stay usable while the effect is off. */
    void setAllViewEnabled (bool on);

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
    KVCustomLookAndFeel customLookAndFeel;
    KVPopupMenuLookAndFeel popupMenuLookAndFeel;
    juce::ListBox algorithmList;
    std::array<juce::Slider, numKnobs> knobSliders;
    juce::ListBox patchList;
    juce::ImageButton switchButton;
    juce::ImageButton bypassswitchButton;
    juce::OwnedArray<AMPShape> patchRecords;
    KVNoDevice* noDevice = nullptr;
    KVSourceItemListboxContents algorithmListModel;
    KVSourceItemListboxContents patchListModel;

private:
    void buttonClicked (juce::Button*) override;
    void sliderValueChanged (juce::Slider*) override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVAMPView)
};

// The menus' results, each with the page that opened the menu.
void menuItemChosenCallback (int result, KVAMPView* page);
void ImportMenuItemChosenCallback (int result, KVAMPView* page);
void ExportMenuItemChosenCallback (int result, KVAMPView* page);
