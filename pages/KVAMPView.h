#pragma once

#include <array>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/PatchRecord.h"
#include "pagekit/KVPageBase.h"

/** The AMP pedal's page: five knobs, the patch and algorithm lists with the
    algorithm's description, the cab-simulation and bypass switches, and the
    Set, Import, Export and Save buttons. Values from the pedal are set
    without notification, so nothing the pedal reports is echoed back. */
class KVAMPView : public KVPageBase,
                  private juce::Slider::Listener
{
public:
    static constexpr int numKnobs = 5;

    KVAMPView();
    ~KVAMPView() override;

    /** Enables or disables the editing controls; the Set button and the
        bypass switch stay usable while the effect is off. */
    void setAllViewEnabled (bool on) override;

    /** Shows record `patch` of patchRecords in the controls, sending nothing. */
    void updateAmpInformation (int patch) override;

    /** Shows the catalogue's description of algorithm number `algorithm`. */
    void UpdateDiagnosticsBox (int algorithm) override;

    // What the pedal page answers and is told.
    int pageKind() const override;
    int patchCount() const override { return patchRecords.size(); }
    int lastRecordCurrentPatch() const override { return lastCurrentPatchOf (patchRecords); }
    void showKnob (int knob, int value) override;
    void showEffectSwitch (int state) override;
    void storeRecord (const std::array<uint8_t, PatchRecord::maxSize>& record) override;
    void forgetPedal() override;
    void setMenuItemChosen (int result) override;
    void updateQuestionAnswered (int result) override;

    std::array<juce::Slider, numKnobs> knobSliders;
    juce::ImageButton switchButton;
    juce::OwnedArray<AMPShape> patchRecords;

private:
    std::vector<Placement> layout() override;
    void importMenuItemChosen (int result) override;
    void exportMenuItemChosen (int result) override;
    bool handleOwnButton (const juce::String& key) override;
    void sliderValueChanged (juce::Slider*) override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVAMPView)
};

// The menus' results, each with the page that opened the menu.
void menuItemChosenCallback (int result, KVAMPView* page);
void ImportMenuItemChosenCallback (int result, KVAMPView* page);
void ExportMenuItemChosenCallback (int result, KVAMPView* page);
void alertBoxResultChosen (int result, KVAMPView* page);
