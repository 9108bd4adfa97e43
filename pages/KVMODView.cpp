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
    algorithmListModel.modPage = this;
    patchListModel.modPage = this;
    patchList.setMultipleSelectionEnabled (true);

    background.setImage (picture (TesselImages::mod_page_background_png, TesselImages::mod_page_background_pngSize));

    for (juce::Component* child : { (juce::Component*) &background, (juce::Component*) &rangeMaxSlider,
                                    (juce::Component*) &rangeMinSlider, (juce::Component*) &objectCombo,
                                    (juce::Component*) &inputModeCombo, (juce::Component*) &divideCombo })
        addAndMakeVisible (child);

    for (int k = numKnobs; --k >= 0;)
        addAndMakeVisible (knobSliders[(size_t) k]);

    for (juce::Component* child : { (juce::Component*) &diagnosticsBox, (juce::Component*) &algorithmList,
                                    (juce::Component*) &setButton, (juce::Component*) &importButton,
                                    (juce::Component*) &exportButton, (juce::Component*) &saveButton,
                                    (juce::Component*) &patchList, (juce::Component*) &versionLabel,
                                    (juce::Component*) &bypassswitchButton })
        addAndMakeVisible (child);
}

KVMODView::~KVMODView() = default;

void KVMODView::resized()
{
    patchList.setBounds (51, 315, 249, 185);
    saveButton.setBounds (51, 290, 40, 20);
    exportButton.setBounds (97, 290, 49, 20);
    importButton.setBounds (152, 290, 49, 20);
    setButton.setBounds (697, 10, 34, 34);
    versionLabel.setBounds (547, 10, 149, 34);
    algorithmList.setBounds (320, 300, 227, 185);
    algorithmList.updateContent();
    diagnosticsBox.setBounds (562, 300, 128, 173);
    background.setBounds (0, 0, getWidth(), getHeight());

    for (int k = 0; k < numKnobs; ++k)
        knobSliders[(size_t) k].setBounds (knobX[k], knobY, knobSize, knobSize);

    divideCombo.setBounds (295, 235, 70, 17);
    inputModeCombo.setBounds (160, 200, 70, 17);
    objectCombo.setBounds (360, 200, 70, 17);
    rangeMinSlider.setBounds (575, 200, 100, 12);
    rangeMaxSlider.setBounds (575, 210, 100, 12);
    bypassswitchButton.setBounds (443, 235, 39, 19);
}

void KVMODView::showSetMenu()
{
    showMenu (setMenuItems, popupMenuLookAndFeel, menuItemChosenCallback, this);
}

void KVMODView::showImportMenu()
{
    showMenu (importMenuItems, popupMenuLookAndFeel, ImportMenuItemChosenCallback, this);
}

void KVMODView::showExportMenu()
{
    showMenu (exportMenuItems, popupMenuLookAndFeel, ExportMenuItemChosenCallback, this);
}
