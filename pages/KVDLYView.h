#pragma once

#include "pages/KVEffectPage.h"

/** The DLY pedal's page: knobs MIX, A, B, F.BACK and TIME, the trail switch
    and the maximum delay time, with the division standing in for TIME while
    the pedal follows tap tempo. */
class KVDLYView : public KVEffectPage
{
public:
    KVDLYView();
    ~KVDLYView() override;

    /** The trail switch (the pedal's second switch): lit for any state but 0. */
    void showEffectSwitch (int state) override;

    /** Leaving tap tempo clears the division. */
    void showTapTempo (bool sync) override;

    /** The maximum delay time the pedal reports; one it has no item for changes nothing. */
    void showMaxDelay (int milliseconds);

    void setMenuItemChosen (int result) override;
    void updateQuestionAnswered (int result) override;

    juce::ImageButton trailSwitchButton;
    juce::ComboBox maxDelayCombo;

    /** The maximum delay times offered, in milliseconds. */
    static constexpr int maxDelayTimes[] = { 1000, 2000, 3000, 4000 };

private:
    std::vector<Placement> layout() override;
    void importMenuItemChosen (int result) override;
    void exportMenuItemChosen (int result) override;

    bool handleOwnButton (const juce::String& key) override;
    void handleOwnComboBox (juce::ComboBox* box) override;
    void setOwnControlsEnabled (bool on) override;
    void showOwnPatchValues (const EffectShape& record) override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVDLYView)
};

// The menus' results, each with the page that opened the menu.
void menuItemChosenCallback (int result, KVDLYView* page);
void ImportMenuItemChosenCallback (int result, KVDLYView* page);
void ExportMenuItemChosenCallback (int result, KVDLYView* page);
void alertBoxResultChosen (int result, KVDLYView* page);
