#pragma once

#include "pages/KVEffectPage.h"

/** The MOD pedal's page: knobs E.LEVEL, A, B, DEPTH and RATE, with the
    division standing in for RATE while the pedal follows tap tempo. */
class KVMODView : public KVEffectPage
{
public:
    KVMODView();
    ~KVMODView() override;

    void setMenuItemChosen (int result) override;
    void updateQuestionAnswered (int result) override;

private:
    std::vector<Placement> layout() override;
    void importMenuItemChosen (int result) override;
    void exportMenuItemChosen (int result) override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVMODView)
};

// The menus' results, each with the page that opened the menu.
void menuItemChosenCallback (int result, KVMODView* page);
void ImportMenuItemChosenCallback (int result, KVMODView* page);
void ExportMenuItemChosenCallback (int result, KVMODView* page);
void alertBoxResultChosen (int result, KVMODView* page);
