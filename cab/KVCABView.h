#pragma once

#include <array>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/PatchRecord.h"
#include "device/platform/DiskSession.h"
#include "cab/CABPatchFiles.h"
#include "cab/CopyWavThread.h"
#include "cab/FileList.h"
#include "cab/KVBallGeneratorImage.h"
#include "cab/LoadDisk.h"
#include "pagekit/KVPageBase.h"

/** The CAB pedal's page: the level knob, the microphone position (X, Y and Z
    on knobs and on the pad), the microphone type as a knob and a list kept
    in step, the power amp with its presence, the room level, the patch list,
    the IR list with the IR's description, the bypass and mute switches and
    the Set, Import, Export, Save and IR buttons. Values from the pedal are
    set without notification, so nothing the pedal reports is echoed back. */
class KVCABView : public KVPageBase,
                  private juce::Slider::Listener,
                  private juce::TextEditor::Listener,
                  private juce::ComboBox::Listener,
                  public CABPatchPage
{
public:
    static constexpr int numKnobs = 4;
    static constexpr int numMicrophones = 12;
    static constexpr int maxLevel = 9;

    /** The knob numbers the pedal's own reports use beyond knobs 0 to 3. */
    static constexpr int microphoneKnob = 4;
    static constexpr int roomKnob = 5;
    static constexpr int presenceKnob = 6;

    /** The effect's three states, as the pedal sends and takes them. */
    enum EffectState
    {
        effectBypassed = 0,
        effectOn = 1,
        effectMuted = 2
    };

    KVCABView();
    ~KVCABView() override;

    /** Enables or disables the editing controls; Set, the two switches and
        the description box stay as they are. Presence is usable only while
        a power amp is chosen. */
    void setAllViewEnabled (bool on) override;

    /** The effect state the pedal reports: both switches and the editing
        controls follow, and whichever switch can lead back to "on" stays
        usable. */
    void showEffectState (int state);

    /** Shows record `patch` of patchRecords in the controls, sending nothing. */
    void updateAmpInformation (int patch) override;

    /** Shows the catalogue's description of the IR in row `row`. */
    void UpdateDiagnosticsBox (int row) override;

    /** The microphone picture for a Z value: one of twenty, a band of five
        values each; an empty image from 100 on. */
    static juce::Image getMicImage (int value);

    /** A knob the pedal reports (0-3 the knobs, then the microphone, room
        and presence knobs), set without notification; others are ignored. */
    void showReportedKnob (int knob, int value);

    /** The power amp the pedal reports (0 = "OFF"). */
    void showPowerAmp (int type);

    /** The room level, and its picture dimmed while it is 0. */
    void showRoomLevel (int level);

    /** The presence level the pedal reports. */
    void showPresence (int level);

    // What the pedal page answers and is told.
    int pageKind() const override;
    int patchCount() const override { return patchRecords.size(); }
    int lastRecordCurrentPatch() const override { return lastCurrentPatchOf (patchRecords); }
    int listRowCount (int listMode) const override;
    juce::String listRowText (int listMode, int row) const override;
    void listRowsSelected (int listMode, int lastRowSelected) override;
    bool listRowsLaidOut (int listMode) const override;
    void showKnob (int knob, int value) override { showReportedKnob (knob, value); }
    void showBypass (int state) override { showEffectState (state); }
    void storeRecord (const std::array<uint8_t, PatchRecord::maxSize>& record) override;
    void forgetPedal() override;
    void setMenuItemChosen (int result) override;
    void updateQuestionAnswered (int result) override;

    /** The dump has ended: the IR index is read once the pedal's volume is
        mounted too (`volumeKnown`, a volume still mounted from before a lost
        link counts), whichever comes last. */
    void dumpFinished (bool volumeKnown);

    /** The pedal's volume came, went or could not be mounted. */
    void volumeAppeared();
    void volumeGone();

    /** The text of IR row `row`: its number, three blanks and the file name;
        empty past the end of the table. */
    juce::String irRowText (int row) const;

    juce::OwnedArray<CABShape>& getPatchRecords() override { return patchRecords; }
    int getSelectedPatchRow() override { return shownPatch(); }
    void showPatchRecord (int patch) override { updateAmpInformation (patch); }

    /** Whether the pedal's volume could not be mounted: the IR list then
        says so, with how to mount it, in place of the IRs. `devicePath`
        ("/dev/sdb1") is the device to mount; empty once the volume is
        mounted, which hides the notice again. `failure` decides how the
        user is told to mount it. */
    void showVolumeNotMounted (const juce::String& devicePath, MountFailure failure = MountFailure::refused);

    /** What the page and its IR buttons say while the pedal's volume is not
        mounted; `devicePath` empty when the device is not known. */
    static juce::String volumeNotMountedMessage (const juce::String& devicePath,
                                                 MountFailure failure = MountFailure::refused);

    /** What the IR buttons say while pedal volumes are mounted but none can
        be told to be this pedal's. */
    static inline const juce::String volumeUntoldMessage {
        "More than one pedal volume is mounted, and nothing tells which of them is this pedal's, so its IR files "
        "cannot be listed or changed.\n\nUnplug the other CAB pedal, or eject the other pedal volume; the IR list "
        "is then read from the one left."
    };

    /** The number of IRs in the table now in force. */
    int irRowCount() const;

    /** What the IR library job takes from the page, read afresh each time:
        the volume, the table, the IR list's selection, the export folder. */
    IrLibraryPage irLibraryPage();

    juce::ImageButton addButton;
    juce::ImageButton deleteButton;
    juce::ImageButton loadIrButton;
    juce::ImageButton saveIrButton;
    juce::ImageComponent micPadImage;
    KVComboxLookAndFeel comboxLookAndFeel;
    juce::ImageComponent cabParamImage;
    juce::ComboBox powerAmpCombo;
    KVBallGeneratorImage ballGeneratorImage;
    std::array<juce::Slider, numKnobs> knobSliders;
    juce::Slider micSlider;
    juce::ComboBox micCombo;
    juce::Slider cabParamSlider;
    juce::Slider powerAmpParamSlider;
    juce::OwnedArray<CABShape> patchRecords;
    /** The index as read from the volume; finished tables are handed over
        whole, and the list follows each one. */
    SharedIrTable irTable;
    LoadDisk loadDisk;
    juce::ImageButton mutewitchButton;
    juce::String irExportPath;
    bool diskPresent = false;
    bool irLoadPending = false;
    std::unique_ptr<juce::FileChooser> irChooser;

    /** Over the IR list while the pedal's volume is attached but not mounted. */
    juce::Label volumeNotice;

    /** The device of the pedal's volume that could not be mounted, or empty. */
    juce::String unmountedVolumeDevice;
    MountFailure unmountedVolumeFailure = MountFailure::refused;

private:
    std::vector<Placement> layout() override;
    void importMenuItemChosen (int result) override;
    void exportMenuItemChosen (int result) override;
    bool handleOwnButton (const juce::String& key) override;
    void bypassClicked() override;
    void comboBoxChanged (juce::ComboBox*) override;
    void sliderValueChanged (juce::Slider*) override;

    /** Presence means nothing without a power amp, nor while the effect is
        off (when the power-amp list is disabled too). */
    void updatePresenceEnabled();

    /** A new IR table is in force: the list, its selection and the description follow. */
    void irTableChanged();

    /** Shown for a pedal other than the one whose volume the IR table was
        read from: the list is emptied until the pedal's own index is read. */
    void visibilityChanged() override;

    /** The linked pedal (linkedPedal()) the IR table in force was read or
        written for; 0 before the first. */
    uint32_t irTablePedal = 0;

    /** The volume (disk_Name()) the IR table in force was read from or
        written to; empty while the table is empty for want of one. */
    juce::String irTableVolume;

    /** Whether the linked pedal's dump has ended: a volume put in force
        after that has its index read at once. */
    bool dumpEnded = false;

    /** Empties the IR list: what it showed was read from a volume no
        longer in force. */
    void dropIrTable();

    /** The IR row of the patch on show, kept so that an IR table arriving
        after the patch still shows it selected. */
    int shownIrRow = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVCABView)
};

/** The power amps, in the order the pedal numbers them. */
const juce::StringArray powerAmpTypes { "OFF", "EL84S", "EL84P", "6L6P", "EL34P", "KT88S", "KT88P", "EL34S", "6L6S" };

/** The microphones, in the order the pedal numbers them. */
const juce::StringArray microphoneTypes { "OFF",  "DY57", "DY58", "D421", "RE16", "D112",
                                          "E609", "B87A", "U87",  "R121", "CO67", "INVE" };

// The results of the Set, Import and Export menus, with the page that opened them.
void menuItemChosenCallback (int result, KVCABView* page);
void ImportMenuItemChosenCallback (int result, KVCABView* page);
void ExportMenuItemChosenCallback (int result, KVCABView* page);
void alertBoxResultChosen (int result, KVCABView* page);
