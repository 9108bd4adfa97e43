#include "pages/KVMODView.h"

#include "TesselImages.h"
#include "device/ProtocolCodes.h"
#include "pagekit/PageControls.h"

using namespace PageControls;

namespace
{
constexpr int knobX[KVEffectPage::numKnobs] = { 120, 224, 327, 431, 535 };
constexpr int knobY = 112;
constexpr int knobSize = 87;
} // namespace

KVMODView::KVMODView()
    : KVEffectPage (kindMOD, "MOD", { "E.LEVEL", "A", "B", "DEPTH", "RATE" })
{
    patchList.setMultipleSelectionEnabled (true);

    background.setImage (picture (TesselImages::mod_page_background_png, TesselImages::mod_page_background_pngSize));

    for (juce::Component* child :
         { (juce::Component*) &background, (juce::Component*) &rangeMaxSlider, (juce::Component*) &rangeMinSlider,
           (juce::Component*) &objectCombo, (juce::Component*) &inputModeCombo, (juce::Component*) &divideCombo })
        addAndMakeVisible (child);

    for (int k = numKnobs; --k >= 0;)
        addAndMakeVisible (knobSliders[(size_t) k]);

    for (juce::Component* child :
         { (juce::Component*) &diagnosticsBox, (juce::Component*) &algorithmList, (juce::Component*) &setButton,
           (juce::Component*) &importButton, (juce::Component*) &exportButton, (juce::Component*) &saveButton,
           (juce::Component*) &patchList, (juce::Component*) &versionLabel, (juce::Component*) &bypassswitchButton })
        addAndMakeVisible (child);
}

KVMODView::~KVMODView() = default;

std::vector<KVPageBase::Placement> KVMODView::layout()
{
    std::vector<Placement> placements;
    placeEffectPageLists (placements, 315, 290, 300);
    placeExpressionControls (placements);
    placements.insert (placements.end(),
                       {
                           { &divideCombo, { 295, 235, 70, 17 } },
                           { &inputModeCombo, { 160, 200, 70, 17 } },
                           { &bypassswitchButton, { 443, 235, 39, 19 } },
                       });

    placeKnobs (placements, knobSliders, knobX, knobY, knobSize);
    return placements;
}

void KVMODView::setMenuItemChosen (int result)
{
    menuItemChosenCallback (result, this);
}
void KVMODView::updateQuestionAnswered (int result)
{
    alertBoxResultChosen (result, this);
}
void KVMODView::importMenuItemChosen (int result)
{
    ImportMenuItemChosenCallback (result, this);
}
void KVMODView::exportMenuItemChosen (int result)
{
    ExportMenuItemChosenCallback (result, this);
}
