#pragma once

#include "pages/KVEffectPage.h"

/** The MOD pedal's page: knobs E.LEVEL, A, B, DEPTH and RATE, with the
    division standing in for RATE while the pedal follows tap tempo. */
class KVMODView : public KVEffectPage
{
public:
    KVMODView();
    ~KVMODView() override;

    void resized() override;

private:
    const juce::StringArray& algorithmNames() const override { return algorithmListModel.modNames; }
    void showSetMenu() override;
    void showImportMenu() override;
    void showExportMenu() override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVMODView)
};

// The menus' results, each with the page that opened the menu.
void menuItemChosenCallback (int result, KVMODView* page);
void ImportMenuItemChosenCallback (int result, KVMODView* page);
void ExportMenuItemChosenCallback (int result, KVMODView* page);
