#include "pagekit/KVPageBase.h"

#include "TesselImages.h"
#include "device/CommandSenders.h"
#include "pagekit/PageControls.h"
#include "pagekit/PatchFiles.h"
#include "pagekit/SetMenu.h"

using namespace PageControls;

namespace
{
constexpr int algorithmRowHeight = 20;
constexpr int patchRowHeight = 17;

// A menu stays open while the message loop runs: its pedal may go, and
// another take its place, before the user answers. What acts on a pedal is
// done only for the one linked when the menu opened; otherwise nothing is
// sent and the user is told.

bool patchFileItemFor (int result, KVPageBase* page, const LinkSession& openedFor)
{
    const bool item = result == PatchFiles::onePatch || result == PatchFiles::allPatches;
    return page != nullptr && item && SetMenu::stillLinked (openedFor);
}
} // namespace

KVPageBase::KVPageBase()
{
    using namespace TesselImages;

    // Set up, not added: each page stacks its children in its own order.
    // The lists are empty until the page is whole: the models ask it for
    // rows only from then on.
    setUpDescriptionBox (diagnosticsBox);
    setUpList (algorithmList, algorithmListModel, algorithmRowHeight);
    setUpList (patchList, patchListModel, patchRowHeight);

    algorithmListModel.listMode = KVSourceItemListboxContents::algorithmListMode;
    patchListModel.listMode = KVSourceItemListboxContents::patchListMode;
    algorithmListModel.page = this;
    patchListModel.page = this;

    setUpButton (setButton, picture (set_button_png, set_button_pngSize), "Set", *this);
    setUpButton (importButton, picture (import_button_png, import_button_pngSize), "Import", *this);
    setUpButton (exportButton, picture (export_button_png, export_button_pngSize), "Export", *this);
    setUpButton (saveButton, picture (save_button_png, save_button_pngSize), "Save", *this);

    setUpVersionLabel (versionLabel);
    setUpSwitch (bypassswitchButton, picture (bypass_switch_off_png, bypass_switch_off_pngSize),
                 picture (bypass_switch_on_png, bypass_switch_on_pngSize), "bypassswitchButton", *this);
}

KVPageBase::~KVPageBase()
{
    algorithmList.setModel (nullptr);
    patchList.setModel (nullptr);
}

void KVPageBase::paint (juce::Graphics&)
{
}

void KVPageBase::resized()
{
    background.setBounds (getLocalBounds());

    for (const auto& placement : layout())
        placement.control->setBounds (placement.bounds);

    if (patchListFollowsLayout)
        patchList.updateContent();

    algorithmList.updateContent();
}

void KVPageBase::placeEffectPageLists (std::vector<Placement>& placements, int patchListTop, int buttonsTop,
                                       int algorithmListTop)
{
    placements.insert (placements.end(),
                       {
                           { &patchList, { 51, patchListTop, 249, 185 } },
                           { &saveButton, { 51, buttonsTop, 40, 20 } },
                           { &exportButton, { 97, buttonsTop, 49, 20 } },
                           { &importButton, { 152, buttonsTop, 49, 20 } },
                           { &setButton, { 697, 10, 34, 34 } },
                           { &versionLabel, { 547, 10, 149, 34 } },
                           { &algorithmList, { 320, algorithmListTop, 227, 185 } },
                           { &diagnosticsBox, { 562, algorithmListTop, 128, 173 } },
                       });
}

void KVPageBase::buttonClicked (juce::Button* button)
{
    const auto key = button->getButtonText();

    // The menus answer later, and only while the page still stands, for
    // the pedal linked now.
    const LinkSession openedFor;

    if (key.equalsIgnoreCase ("Set"))
    {
        showMenu (setMenuItems, popupMenuLookAndFeel, setMenuAnswered, this, openedFor);
    }
    else if (key.equalsIgnoreCase ("Import"))
    {
        showMenu (importMenuItems, popupMenuLookAndFeel, importMenuAnswered, this, openedFor);
    }
    else if (key.equalsIgnoreCase ("Export"))
    {
        showMenu (exportMenuItems, popupMenuLookAndFeel, exportMenuAnswered, this, openedFor);
    }
    else if (key.equalsIgnoreCase ("Save"))
    {
        DEVICEHID_DEBUG_SAVE();
    }
    else if (key.equalsIgnoreCase ("bypassswitchButton"))
    {
        bypassClicked();
    }
    else
    {
        handleOwnButton (key);
    }
}

bool KVPageBase::flipSwitch (juce::Button& button)
{
    const bool on = ! button.getToggleState();
    button.setToggleState (on, juce::dontSendNotification);
    return on;
}

void KVPageBase::bypassClicked()
{
    const bool on = flipSwitch (bypassswitchButton);
    setAllViewEnabled (on);
    DEVICEHID_DEBUG_SET_BYPASS (on ? 1 : 0);
}

int KVPageBase::listRowCount (int listMode) const
{
    return listMode == KVSourceItemListboxContents::patchListMode ? patchCount() : algorithmNames.size();
}

juce::String KVPageBase::listRowText (int listMode, int row) const
{
    if (listMode == KVSourceItemListboxContents::patchListMode)
        return effectPatchName (row);

    // A row the names don't reach still gets its number, never a name read past the end.
    return algorithmRowText (row, algorithmNames[row]);
}

void KVPageBase::listRowsSelected (int listMode, int lastRowSelected)
{
    if (listMode == KVSourceItemListboxContents::patchListMode)
    {
        updateAmpInformation (lastRowSelected);
        DEVICEHID_DEBUG_SET_PATCH (lastRowSelected);
    }
    else
    {
        UpdateDiagnosticsBox (lastRowSelected);
        DEVICEHID_DEBUG_SET_ALOGR (lastRowSelected);
    }
}

void KVPageBase::showPatch (int patch, bool scrollIntoView)
{
    selectRowQuietly (patchList, patch, scrollIntoView);
    updateAmpInformation (patch);
}

void KVPageBase::showAlgorithm (int algorithm)
{
    selectRowQuietly (algorithmList, algorithm, true);
    UpdateDiagnosticsBox (algorithm);
}

void KVPageBase::showBypass (int state)
{
    bypassswitchButton.setToggleState (state != 0, juce::dontSendNotification);
    setAllViewEnabled (state != 0);
}

void KVPageBase::showAlgorithmNames (const juce::StringArray& names)
{
    algorithmNames.addArray (names);
    algorithmList.updateContent();
}

void KVPageBase::showDump (int current)
{
    // The pedal's current patch is the row selected, whether or not the
    // pedal's later answers (which select it too) arrive.
    patchList.updateContent();
    showPatch (current, true);
}

void KVPageBase::forgetPedal()
{
    // Rows selected for the pedal that went mean nothing to the next: kept,
    // they would be acted on, and a list shrinking under them at the next
    // dump's end would select what is left on that pedal.
    selectRowQuietly (patchList, -1, false);
    selectRowQuietly (algorithmList, -1, false);
}

void KVPageBase::setMenuAnswered (int result, KVPageBase* page, LinkSession openedFor)
{
    // The web links open whatever pedal is linked.
    if (page != nullptr && (! SetMenu::actsOnPedal (result) || SetMenu::stillLinked (openedFor)))
        page->setMenuItemChosen (result);
}

void KVPageBase::importMenuAnswered (int result, KVPageBase* page, LinkSession openedFor)
{
    if (patchFileItemFor (result, page, openedFor))
        page->importMenuItemChosen (result);
}

void KVPageBase::exportMenuAnswered (int result, KVPageBase* page, LinkSession openedFor)
{
    if (patchFileItemFor (result, page, openedFor))
        page->exportMenuItemChosen (result);
}

void KVPageBase::patchSaved()
{
    // Read back as a dump record, which replaces the page's copy of the patch.
    const int patch = shownPatch();
    if (juce::isPositiveAndBelow (patch, patchCount()))
        DEVICEHID_DEBUG_OUT_PRESET (patch);
}

bool KVPageBase::checkFirmwareFile (const juce::File& file)
{
    return firmwareCheck != nullptr && firmwareCheck (file);
}

void KVPageBase::forgetFirmwareFile()
{
    if (firmwareForget != nullptr)
        firmwareForget();
}
