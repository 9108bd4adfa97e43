#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "app/ConnectionSequence.h"
#include "app/ReplyDecoder.h"
#include "device/PatchRecord.h"
#include "device/LiveLink.h"
#include "device/PedalVolumeWatcher.h"
#include "device/ProtocolCodes.h"

class KVNoDevice;
class KVPageBase;
class KVAMPView;
class KVDLYView;
class KVMODView;
class KVCABView;
class PedalPage;
class PromptWindow;

/** Told when a patch dump stopped half-way: the page holds only the patches read. */
inline const juce::String dumpIncompleteMessage {
    "Not every patch could be read from the pedal: the patch list shows only those that were. Please disconnect the "
    "pedal and connect it again to read them all."
};

/** The window's content and the hub between the device link and the pages:
    it switches pages, takes the patch dump one record at a time and returns
    to the no-device page when the pedal goes away. It keeps no current page:
    it acts on the first visible page in the order AMP, DLY, MOD, CAB. */
class MainContentComponent : public juce::Component,
                             public ReplyWindow,
                             private LiveLinkListener,
                             private PedalVolumeWatcher::Listener
{
public:
    MainContentComponent();
    ~MainContentComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Shows the page of a pedal kind at its size; any other kind changes nothing. */
    void UpdateMainView (int kind) override;

    /** One record of a patch dump (zero-padded to the longest layout): stores
        it in the visible page and asks for the next, or finishes the dump. */
    void UpdateAlgorithmPreset (const std::array<uint8_t, PatchRecord::maxSize>& record) override;

    /** The pedal reports a knob change; set without notification. */
    void SetSliderValue (int knob, int value);

    /** The pedal reports its cabinet-simulation (AMP) or trail (DLY) state. */
    void SetCABSIMButton (int state) override;

    /** Returns to the no-device page and forgets the pedal's state: every
        page's records, names and flags, and the connection with what it
        started. Safe to call more than once in a row. */
    void disconnect();

    /** Whether the first visible page already holds a record with this index. */
    bool holdsRecord (int index) const;

    /** The kind of the first visible page, kindNone when none is visible. */
    uint32_t firstVisiblePage() const;

    /** The connection of the linked pedal, from its identify command to the
        end of its dump; null while none is linked or after it was given up. */
    std::unique_ptr<ConnectionSequence> connection;

    std::unique_ptr<KVNoDevice> noDevice;

    // The window as the reply decoder sees it.
    juce::Component& windowComponent() override { return *this; }
    ConnectionSequence* liveConnection() override { return connection.get(); }
    PedalPage* visiblePage() override;
    PedalPage& page (int kind) override;

    // Each page by its own type.
    KVAMPView& ampPage();
    KVDLYView& dlyPage() override;
    KVMODView& modPage() override;
    KVCABView& cabPage() override;

    /** The loading window of the dump in progress; it deletes itself. */
    PromptWindow* loadingWindow = nullptr;

private:
    // What the live link reports; the notices reach the window later, from the message loop.
    void pedalMatched (const juce::String& name) override;
    void updateModeDeviceFound (const juce::String& name) override;
    void reportArrived (uint8_t* report, long reportLength) override;
    void pedalInaccessible (const juce::String& name) override;
    void pedalRemoved() override;
    void cabPedalsChanged() override;

    // What the volume watcher reports, on the message thread.
    void pedalVolumeAppeared() override;
    void pedalVolumeGone() override;
    void pedalVolumeWithdrawn() override;
    void pedalVolumeNotMounted (const juce::String& devicePath, MountFailure failure) override;

    /** The no-device page tells that a device is connected; the firmware
        button shows only for a pedal in its update mode. */
    void showConnectedDevice (const juce::String& name, bool showFirmwareButton, bool forLinkedPedal);

    /** Changes the no-device page, later on the message thread, for the
        pedal just linked, or for a device that isn't linked: that one only
        while no pedal is linked, then or when the change would run. */
    void showOnNoDevicePage (bool forLinkedPedal, std::function<void (MainContentComponent&)> show);

    /** The end of a dump: the page shows patch `current`; a CAB dump reads
        the IR index and selects the current patch on the pedal. */
    void finishDump (PedalPage& page, int current);

    void closeLoadingWindow();

    /** The dump stopped half-way: the page keeps what arrived. */
    void dumpStalled();

    /** Tells on the no-device page what stands between the user and the pedal. */
    void showProblem (const juce::String& status, const juce::String& hint);

    /** The pages by kind: AMP, MOD, DLY and CAB at their DeviceKind numbers. */
    std::array<std::unique_ptr<KVPageBase>, kindCAB + 1> pages;

    /** The order in which the first visible page is looked for. */
    static constexpr std::array<int, 4> visibleOrder { kindAMP, kindDLY, kindMOD, kindCAB };

    /** Follows the CAB pedal's USB volume, where its IRs live. */
    std::unique_ptr<PedalVolumeWatcher> volumeWatcher;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainContentComponent)
};
