#include "cab/KVCABView.h"

#include <cstdio>

#include "TesselImages.h"
#include "device/CommandSenders.h"
#include "device/HidPacket.h"
#include "device/LiveLink.h"
#include "device/PedalVolumeWatcher.h"
#include "device/ProtocolCodes.h"
#include "pagekit/AlgorithmCatalog.h"
#include "pagekit/PageControls.h"
#include "ui/Dialogs.h"
#include "ui/Palette.h"

using namespace PageControls;

namespace
{
constexpr int knobX[KVCABView::numKnobs] = { 25, 129, 232, 336 };
constexpr int knobY = 122;
constexpr int knobSize = 87;

constexpr int micPictures = 20;
constexpr int valuesPerMicPicture = 5;
constexpr int micPictureWidth = 51;
constexpr int micPictureHeight = 100;

// The pad's picture lies here until a knob places it.
const juce::Rectangle<int> ballStartBounds { 25, 25, 41, 80 };

constexpr float dimmedAlpha = 0.5f;

/** Whether the IR button would act on the pedal's volume now. "Load IR
    File" and "Save IR File" first ask for a selection while the list has
    rows to select. */
bool irButtonNeedsTheVolume (const juce::String& key, bool selectionSettled)
{
    if (key.equalsIgnoreCase ("Add") || key.equalsIgnoreCase ("Delete"))
        return true;

    return selectionSettled && (key.equalsIgnoreCase ("Load IR File") || key.equalsIgnoreCase ("Save IR File"));
}

void setUpCombo (juce::ComboBox& box, const juce::StringArray& items, juce::ComboBox::Listener& listener)
{
    box.setEditableText (false);
    box.setJustificationType (juce::Justification::centred);
    box.addItemList (items, 1);
    box.setSelectedId (1, juce::dontSendNotification);
    box.setColour (juce::ComboBox::backgroundColourId, juce::Colours::transparentBlack);
    box.setColour (juce::ComboBox::arrowColourId, Palette::accent);
    box.setColour (juce::ComboBox::textColourId, Palette::lightText);
    box.setColour (juce::ComboBox::outlineColourId, Palette::comboOutline);
    box.addListener (&listener);
}

void setUpLevelKnob (juce::Slider& knob, juce::LookAndFeel& look, juce::Slider::Listener& listener)
{
    setUpKnob (knob, look, listener);
    knob.setRange (0.0, KVCABView::maxLevel, 1.0);
}

/** The room and presence levels go out as frames of their own. */
void sendLevel (uint8_t code, int level)
{
    sendLiveFrame (HidPacket::command (code, { level }));
}

void showDimmedAtZero (juce::Component& picture, int level)
{
    const float alpha = level != 0 ? 1.0f : dimmedAlpha;
    if (picture.getAlpha() != alpha)
        picture.setAlpha (alpha);
}
} // namespace

KVCABView::KVCABView()
{
    using namespace TesselImages;

    patchListFollowsLayout = true;

    background.setImage (picture (cab_page_background_png, cab_page_background_pngSize));
    micPadImage.setImage (picture (mic_pad_png, mic_pad_pngSize));
    cabParamImage.setImage (picture (room_label_png, room_label_pngSize));

    setUpLevelKnob (cabParamSlider, customLookAndFeel, *this);
    setUpLevelKnob (powerAmpParamSlider, customLookAndFeel, *this);
    powerAmpParamSlider.setEnabled (false);

    setUpCombo (powerAmpCombo, powerAmpTypes, *this);
    setUpCombo (micCombo, microphoneTypes, *this);
    micCombo.setLookAndFeel (&comboxLookAndFeel);

    for (auto& knob : knobSliders)
        setUpKnob (knob, customLookAndFeel, *this);
    knobSliders[3].setValue (MicPad::maxValue, juce::dontSendNotification);

    setUpKnob (micSlider, customLookAndFeel, *this);
    micSlider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    micSlider.setRange (1.0, numMicrophones, 1.0);
    micSlider.setValue (1.0, juce::dontSendNotification);

    algorithmList.setMultipleSelectionEnabled (true);
    patchList.setMultipleSelectionEnabled (true);

    loadDisk.onLoaded = [this] (ListInfor table, const juce::String& volume)
    {
        irTableVolume = volume;
        irTable.handOver (std::move (table));
    };
    irTable.onChange = [this] { irTableChanged(); };

    // The pad takes no clicks of its own: only the microphone on it can be dragged.
    micPadImage.setInterceptsMouseClicks (false, true);
    ballGeneratorImage.setImage (picture (mic_00_png, mic_00_pngSize));
    ballGeneratorImage.setAlpha (1.0f);
    ballGeneratorImage.ownerView = this;
    micPadImage.addAndMakeVisible (ballGeneratorImage);

    setUpButton (saveIrButton, picture (save_ir_button_png, save_ir_button_pngSize), "Save IR File", *this);
    setUpButton (loadIrButton, picture (load_ir_button_png, load_ir_button_pngSize), "Load IR File", *this);
    setUpButton (deleteButton, picture (delete_button_png, delete_button_pngSize), "Delete", *this);
    setUpButton (addButton, picture (add_button_png, add_button_pngSize), "Add", *this);

    saveIrButton.setTooltip ("For exporting selected IR cab file(s) to your computer.");
    loadIrButton.setTooltip (" For importing new IR cab file(s) to change selected file(s) on Cab Models list.");
    deleteButton.setTooltip ("Click to delete the selected IR cab file(s).");
    addButton.setTooltip ("Click to add a new IR cab file to Cab Models list. "
                          "Tessel IR Cab is able to store 300 IR cab files. ");

    const auto switchOff = picture (bypass_switch_off_png, bypass_switch_off_pngSize);
    const auto switchOn = picture (bypass_switch_on_png, bypass_switch_on_pngSize);
    setUpSwitch (mutewitchButton, switchOff, switchOn, "mutewitchButton", *this);

    // Later children lie on top.
    for (juce::Component* child :
         { (juce::Component*) &background, (juce::Component*) &cabParamSlider, (juce::Component*) &powerAmpParamSlider,
           (juce::Component*) &powerAmpCombo, (juce::Component*) &cabParamImage, (juce::Component*) &micCombo })
        addAndMakeVisible (child);

    for (auto& knob : knobSliders)
        addAndMakeVisible (knob);

    for (juce::Component* child :
         { (juce::Component*) &micSlider, (juce::Component*) &diagnosticsBox, (juce::Component*) &algorithmList,
           (juce::Component*) &micPadImage, (juce::Component*) &saveIrButton, (juce::Component*) &loadIrButton,
           (juce::Component*) &deleteButton, (juce::Component*) &addButton, (juce::Component*) &setButton,
           (juce::Component*) &versionLabel, (juce::Component*) &importButton, (juce::Component*) &exportButton,
           (juce::Component*) &saveButton, (juce::Component*) &patchList, (juce::Component*) &bypassswitchButton,
           (juce::Component*) &mutewitchButton })
        addAndMakeVisible (child);

    // Hidden until a mount has failed; over the list, which is empty then.
    volumeNotice.setFont (juce::Font (13.0f));
    volumeNotice.setJustificationType (juce::Justification::centredLeft);
    volumeNotice.setColour (juce::Label::textColourId, Palette::lightText);
    volumeNotice.setColour (juce::Label::backgroundColourId, Palette::menuBackground);
    volumeNotice.setBorderSize ({ 4, 6, 4, 6 });
    addChildComponent (volumeNotice);
}

KVCABView::~KVCABView()
{
    irChooser = nullptr;

    for (auto& knob : knobSliders)
        knob.setLookAndFeel (nullptr);

    for (auto* slider : { &micSlider, &cabParamSlider, &powerAmpParamSlider })
        slider->setLookAndFeel (nullptr);

    micCombo.setLookAndFeel (nullptr);
}

std::vector<KVPageBase::Placement> KVCABView::layout()
{
    std::vector<Placement> placements {
        { &patchList, { 32, 300, 181, 185 } },
        { &saveButton, { 32, 275, 40, 20 } },
        { &exportButton, { 75, 275, 49, 20 } },
        { &importButton, { 128, 275, 49, 20 } },
        { &setButton, { 697, 10, 34, 34 } },
        { &versionLabel, { 544, 10, 149, 34 } },
        { &addButton, { 230, 276, 34, 20 } },
        { &deleteButton, { 268, 276, 49, 20 } },
        { &loadIrButton, { 325, 276, 94, 20 } },
        { &saveIrButton, { 425, 276, 94, 20 } },
        { &algorithmList, { 230, 300, 163, 185 } },
        { &volumeNotice, { 230, 300, 290, 185 } },
        { &diagnosticsBox, { 390, 300, 130, 158 } },
        { &micPadImage, { 548, 70, MicPad::padSize, MicPad::padSize } },
        { &ballGeneratorImage, ballStartBounds },
        { &micSlider, { 440, 122, 87, 67 } },
        { &micCombo, { 453, 190, 60, 17 } },
        { &bypassswitchButton, { 335, 217, 39, 19 } },
        { &mutewitchButton, { 190, 217, 39, 19 } },
        { &cabParamImage, { 564, 315, 46, 17 } },
        { &powerAmpCombo, { 640, 461, 80, 17 } },
        { &cabParamSlider, { 543, 340, 87, 87 } },
        { &powerAmpParamSlider, { 636, 338, 87, 87 } },
    };

    placeKnobs (placements, knobSliders, knobX, knobY, knobSize);
    return placements;
}

juce::Image KVCABView::getMicImage (int value)
{
    if (value > MicPad::maxValue)
        return {};

    const int index = juce::jlimit (0, micPictures - 1, value / valuesPerMicPicture);

    int size = 0;
    const auto name = "mic_" + juce::String (index).paddedLeft ('0', 2) + "_png";
    const auto* data = TesselImages::getNamedResource (name.toRawUTF8(), size);
    if (data == nullptr)
        return {};

    return picture (data, size).rescaled (micPictureWidth, micPictureHeight);
}

void KVCABView::sliderValueChanged (juce::Slider* slider)
{
    const auto value = slider->getValue();
    const int v = (int) value;

    if (slider == &knobSliders[0] || slider == &knobSliders[1] || slider == &knobSliders[2])
    {
        printf ("sasaasas ::::  %f", value);

        if (slider == &knobSliders[1])
            ballGeneratorImage.showX (v);
        else if (slider == &knobSliders[2])
            ballGeneratorImage.showY (v);

        DEVICEHID_DEBUG_SET_KNOB (slider == &knobSliders[0] ? 0 : slider == &knobSliders[1] ? 1 : 2, v);
    }
    else if (slider == &knobSliders[3])
    {
        ballGeneratorImage.setImage (getMicImage (v));
        DEVICEHID_DEBUG_SET_KNOB (3, v);
    }
    else if (slider == &micSlider)
    {
        // Each of the two microphone controls moves the other quietly, so
        // one change sends one command.
        micCombo.setSelectedId (v, juce::dontSendNotification);
        DEVICEHID_DEBUG_SET_MICSTALL (v - 1);
    }
    else if (slider == &cabParamSlider)
    {
        sendLevel (Command::setCabLevel, v);
        showDimmedAtZero (cabParamImage, v);
    }
    else if (slider == &powerAmpParamSlider)
    {
        sendLevel (Command::setPowerAmpLevel, v);
    }
}

void KVCABView::comboBoxChanged (juce::ComboBox* box)
{
    const int id = box->getSelectedId();

    if (box == &micCombo)
    {
        micSlider.setValue (id, juce::dontSendNotification);
        DEVICEHID_DEBUG_SET_MICSTALL (id - 1);
    }
    else if (box == &powerAmpCombo)
    {
        DEVICEHID_DEBUG_SET_POWERAMP_NUM (id - 1);
        updatePresenceEnabled();
    }
}

bool KVCABView::handleOwnButton (const juce::String& key)
{
    if (irButtonNeedsTheVolume (key, algorithmList.getNumSelectedRows() > 0 || irRowCount() == 0)
        && disk_Name().isEmpty())
    {
        // Without the volume every IR button would do nothing at all. It
        // may be mounted, beside another pedal's, with nothing to tell them apart.
        Dialogs::showMessage ({},
                              pedalVolumeUntold()
                                  ? volumeUntoldMessage
                                  : volumeNotMountedMessage (unmountedVolumeDevice, unmountedVolumeFailure));
    }
    else if (key.equalsIgnoreCase ("Add"))
    {
        IrLibraryButtons::addClicked ([this] { return irLibraryPage(); });
    }
    else if (key.equalsIgnoreCase ("Delete"))
    {
        IrLibraryButtons::deleteClicked ([this] { return irLibraryPage(); });
    }
    else if (key.equalsIgnoreCase ("Load IR File"))
    {
        IrLibraryButtons::loadIrFileClicked ([this] { return irLibraryPage(); });
    }
    else if (key.equalsIgnoreCase ("Save IR File"))
    {
        IrLibraryButtons::saveIrFileClicked ([this] { return irLibraryPage(); }, irExportPath);
    }
    else if (key.equalsIgnoreCase ("mutewitchButton"))
    {
        const int state = mutewitchButton.getToggleState() ? effectMuted : effectOn;
        showEffectState (state);
        DEVICEHID_DEBUG_SET_BYPASS (state);
    }
    else
    {
        return false;
    }

    return true;
}

void KVCABView::bypassClicked()
{
    const int state = bypassswitchButton.getToggleState() ? effectBypassed : effectOn;
    showEffectState (state);
    DEVICEHID_DEBUG_SET_BYPASS (state);
}

void KVCABView::showEffectState (int state)
{
    // Each switch is lit while it lets the sound through. Off, the other
    // switch is locked lit, so the way back to "on" is always the switch
    // that went off, whichever of the page or the pedal turned it.
    const bool bypassed = state == effectBypassed;
    const bool muted = state == effectMuted;

    bypassswitchButton.setToggleState (! bypassed, juce::dontSendNotification);
    mutewitchButton.setToggleState (! muted, juce::dontSendNotification);
    bypassswitchButton.setEnabled (! muted);
    mutewitchButton.setEnabled (! bypassed);
    setAllViewEnabled (! bypassed && ! muted);
}

void KVCABView::setAllViewEnabled (bool on)
{
    for (auto& knob : knobSliders)
        knob.setEnabled (on);

    for (juce::Component* c :
         { (juce::Component*) &micSlider, (juce::Component*) &micCombo, (juce::Component*) &powerAmpCombo,
           (juce::Component*) &cabParamSlider, (juce::Component*) &ballGeneratorImage, (juce::Component*) &patchList,
           (juce::Component*) &saveButton, (juce::Component*) &exportButton, (juce::Component*) &importButton,
           (juce::Component*) &addButton, (juce::Component*) &deleteButton, (juce::Component*) &loadIrButton,
           (juce::Component*) &saveIrButton, (juce::Component*) &algorithmList })
        c->setEnabled (on);

    updatePresenceEnabled();
}

void KVCABView::updatePresenceEnabled()
{
    powerAmpParamSlider.setEnabled (powerAmpCombo.isEnabled() && powerAmpCombo.getSelectedId() != 1);
}

void KVCABView::updateAmpInformation (int patch)
{
    if (patch < 0 || patch >= patchRecords.size() || patchRecords[patch] == nullptr)
        return;

    const auto& r = patchRecords[patch]->bytes;

    shownIrRow = r[CABShape::irByte];
    selectRowQuietly (algorithmList, shownIrRow, true);
    UpdateDiagnosticsBox (shownIrRow);

    for (int k = 0; k < numKnobs; ++k)
        knobSliders[(size_t) k].setValue (r[(size_t) (PatchRecord::firstKnobByte + k)], juce::dontSendNotification);

    ballGeneratorImage.setImage (getMicImage ((int) knobSliders[3].getValue()));

    const int microphone = r[CABShape::microphoneByte] + 1;
    micSlider.setValue (microphone, juce::dontSendNotification);
    micCombo.setSelectedId (microphone, juce::dontSendNotification);

    powerAmpCombo.setSelectedId (r[CABShape::powerAmpByte] + 1, juce::dontSendNotification);
    updatePresenceEnabled();

    powerAmpParamSlider.setValue (r[CABShape::powerAmpLevelByte], juce::dontSendNotification);
    cabParamSlider.setValue (r[CABShape::cabLevelByte], juce::dontSendNotification);
    showDimmedAtZero (cabParamImage, r[CABShape::cabLevelByte]);

    ballGeneratorImage.showX ((int) knobSliders[1].getValue());
    ballGeneratorImage.showY ((int) knobSliders[2].getValue());
}

void KVCABView::UpdateDiagnosticsBox (int row)
{
    const auto table = irTable.current();
    const auto stored =
        juce::isPositiveAndBelow (row, irRowCount()) ? table->entries[(size_t) row].name : juce::String();

    if (auto text = algorithmDescription ("CAB", irLookupName (stored)))
        diagnosticsBox.setText (*text, true);
}

void KVCABView::showReportedKnob (int knob, int value)
{
    switch (knob)
    {
        case 0:
            knobSliders[0].setValue (value, juce::dontSendNotification);
            break;

        // The slider keeps the value within 0 to 99, and the picture follows
        // the slider, so a value out of range can't push it off the pad.
        case 1:
            knobSliders[1].setValue (value, juce::dontSendNotification);
            ballGeneratorImage.showX ((int) knobSliders[1].getValue());
            break;

        case 2:
            knobSliders[2].setValue (value, juce::dontSendNotification);
            ballGeneratorImage.showY ((int) knobSliders[2].getValue());
            break;

        case 3:
            ballGeneratorImage.setImage (getMicImage (value));
            knobSliders[3].setValue (value, juce::dontSendNotification);
            break;

        case microphoneKnob:
            micCombo.setSelectedId (value + 1, juce::dontSendNotification);
            micSlider.setValue (value + 1, juce::dontSendNotification);
            break;

        case roomKnob:
            showRoomLevel (value);
            break;

        case presenceKnob:
            powerAmpParamSlider.setValue (value, juce::dontSendNotification);
            break;

        default:
            break;
    }
}

void KVCABView::showPowerAmp (int type)
{
    powerAmpCombo.setSelectedId (type + 1, juce::dontSendNotification);
    updatePresenceEnabled();
}

void KVCABView::showRoomLevel (int level)
{
    cabParamSlider.setValue (level, juce::dontSendNotification);
    showDimmedAtZero (cabParamImage, level);
}

void KVCABView::irTableChanged()
{
    // Loads and IR jobs hand their tables over only while the pedal they
    // began for is linked.
    irTablePedal = linkedPedal();
    const auto table = irTable.current();

    // The list scrolls sideways rather than cutting off a long name.
    algorithmList.setMinimumContentWidth (irListRowWidth (*table));
    algorithmList.updateContent();
    algorithmList.updateContent();

    // The pedal's IR may have been shown before there were rows to select.
    if (algorithmList.getNumSelectedRows() == 0)
        selectRowQuietly (algorithmList, shownIrRow, true);

    UpdateDiagnosticsBox (algorithmList.getSelectedRow());

    const auto selected = algorithmList.getSelectedRows();
    for (int i = 0; i < selected.size(); ++i)
        algorithmList.repaintRow (selected[i]);
}

void KVCABView::visibilityChanged()
{
    // Another CAB pedal's IRs are not this one's: a list kept from the pedal
    // before would be taken for its own, and an IR button would act on rows
    // that are not on its volume.
    if (isVisible() && irTablePedal != linkedPedal())
        dropIrTable();
}

juce::String KVCABView::volumeNotMountedMessage (const juce::String& devicePath, MountFailure failure)
{
    const auto device = devicePath.isNotEmpty() ? devicePath : juce::String ("/dev/sdX");
    auto message = juce::String ("The pedal's volume is not mounted, so its IR files cannot be listed or changed.\n\n");

    // udisksctl and the file managers' mounting come with udisks2. Without
    // it, mount(8) as root, the files given to the user so that the editor
    // can write them.
    if (failure == MountFailure::noUDisks2)
        message << "udisks2 is not installed, so neither a file manager nor udisksctl can mount it. "
                   "Mount it in a terminal with:\n"
                   "sudo mkdir -p /mnt/tessel && sudo mount -o uid=$(id -u),gid=$(id -g),umask=022 "
                << device << " /mnt/tessel";
    else
        message << "Mount it from your file manager, or in a terminal with:\n"
                   "udisksctl mount -b "
                << device;

    if (devicePath.isEmpty())
        message << "\n(sdX is the pedal's 8 MB disk that lsblk lists.)";

    return message;
}

void KVCABView::showVolumeNotMounted (const juce::String& devicePath, MountFailure failure)
{
    unmountedVolumeDevice = devicePath;
    unmountedVolumeFailure = failure;
    volumeNotice.setText (volumeNotMountedMessage (devicePath, failure), juce::dontSendNotification);
    volumeNotice.setVisible (devicePath.isNotEmpty());
}

int KVCABView::irRowCount() const
{
    return (int) juce::jmin (irTable.current()->irCount, (uint32_t) IrIndex::maxEntries);
}

IrLibraryPage KVCABView::irLibraryPage()
{
    IrLibraryPage page;
    page.volumeRoot = disk_Name();

    // The job may end after the pedal has gone and another has come. It
    // works on a table of its own, which reaches the list only while the
    // pedal it began for is still linked; nor is the index read for another
    // pedal, which would get command 0x40. Nor does it reach the list once
    // another volume is in force, whose IRs it does not hold, nor a page
    // that has gone with the window while the job ran.
    const LinkSession session;
    const SafePointer<KVCABView> self (this);
    auto jobTable = std::make_shared<SharedIrTable>();
    jobTable->handOver (*irTable.current());
    jobTable->onChange = [self, session, volume = page.volumeRoot, table = std::weak_ptr<SharedIrTable> (jobTable)]
    {
        if (auto finished = table.lock();
            finished != nullptr && self != nullptr && session.isCurrent() && disk_Name() == volume)
        {
            self->irTableVolume = volume;
            self->irTable.handOver (*finished->current());
        }
    };
    page.irTable = jobTable.get();
    page.tableVolume = irTableVolume;
    page.indexBeingRead = loadDisk.isLoading();

    const auto selected = algorithmList.getSelectedRows();
    for (int i = 0; i < selected.size(); ++i)
        page.selectedRows.push_back (selected[i]);

    page.irExportPath = irExportPath;
    // The job's table lives as long as the job holds this.
    page.startLoadDisk = [self, session, jobTable]
    {
        if (self != nullptr)
            self->loadDisk.start (session);
    };
    return page;
}

juce::String KVCABView::irRowText (int row) const
{
    if (! juce::isPositiveAndBelow (row, irRowCount()))
        return {};

    return juce::String (row) + "   " + irTable.current()->entries[(size_t) row].name.substring (1);
}

void ImportMenuItemChosenCallback (int result, KVCABView* page)
{
    CABPatchFiles::importPatches (result, page);
}

void ExportMenuItemChosenCallback (int result, KVCABView* page)
{
    CABPatchFiles::exportPatches (result, page);
}

int KVCABView::pageKind() const
{
    return kindCAB;
}

int KVCABView::listRowCount (int listMode) const
{
    return listMode == KVSourceItemListboxContents::patchListMode ? patchRecords.size() : irRowCount();
}

juce::String KVCABView::listRowText (int listMode, int row) const
{
    if (listMode == KVSourceItemListboxContents::patchListMode)
        return "Patch - " + juce::String (row).paddedLeft ('0', 2);

    return irRowText (row);
}

bool KVCABView::listRowsLaidOut (int listMode) const
{
    return listMode != KVSourceItemListboxContents::patchListMode;
}

void KVCABView::listRowsSelected (int listMode, int lastRowSelected)
{
    // A CAB patch is only selected on the pedal: its controls follow when
    // the pedal reports the patch's values.
    if (listMode == KVSourceItemListboxContents::patchListMode)
    {
        DEVICEHID_DEBUG_SET_PATCH (lastRowSelected);
        return;
    }

    // Several IRs may be selected (for the IR buttons); the pedal gets the
    // first of them, and the description is the one clicked last.
    UpdateDiagnosticsBox (lastRowSelected);
    DEVICEHID_DEBUG_SET_ALOGR (algorithmList.getSelectedRow (0));
}

void KVCABView::showPresence (int level)
{
    powerAmpParamSlider.setValue (level, juce::dontSendNotification);
}

void KVCABView::storeRecord (const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    storeRecordIn (patchRecords, record);
}

void KVCABView::forgetPedal()
{
    KVPageBase::forgetPedal();
    shownIrRow = -1;
    patchRecords.clear (true);
    patchRecords.minimiseStorageOverheads();

    // The IR table stays while the page is hidden; shown for another pedal,
    // the page empties it. A read under way stops, so that no other pedal
    // gets its index-read command.
    diskPresent = false;
    irLoadPending = false;
    dumpEnded = false;
    loadDisk.cancel();
    algorithmList.updateContent();
}

void KVCABView::dumpFinished (bool volumeKnown)
{
    dumpEnded = true;

    if (diskPresent || volumeKnown)
        loadDisk.start();
    else
        irLoadPending = true;
}

void KVCABView::volumeAppeared()
{
    showVolumeNotMounted ({});

    if (irTableVolume != disk_Name())
        dropIrTable();

    if (irLoadPending || dumpEnded)
    {
        // Another volume than the one read may have been put in force.
        irLoadPending = false;
        loadDisk.start();
    }
    else
    {
        diskPresent = true;
    }
}

void KVCABView::volumeGone()
{
    diskPresent = false;
    dropIrTable();
}

void KVCABView::dropIrTable()
{
    irTableVolume.clear();

    if (irTable.current()->irCount != 0)
        irTable.handOver ({});
}

void KVCABView::setMenuItemChosen (int result)
{
    menuItemChosenCallback (result, this);
}
void KVCABView::updateQuestionAnswered (int result)
{
    alertBoxResultChosen (result, this);
}
void KVCABView::importMenuItemChosen (int result)
{
    ImportMenuItemChosenCallback (result, this);
}
void KVCABView::exportMenuItemChosen (int result)
{
    ExportMenuItemChosenCallback (result, this);
}
