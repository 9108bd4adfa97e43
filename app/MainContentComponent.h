#pragma once

#include <array>
#include <cstdint>

#include <juce_gui_basics/juce_gui_basics.h>

#include "app/PatchRecord.h"

class KVNoDevice;
class KVAMPView;
class KVDLYView;
class KVMODView;
class KVCABView;
class PromptWindow;

/** The window's content and the hub between the device link and the pages:
    it switches pages, takes the patch dump one record at a time and returns
    to the no-device page when the pedal goes away. It keeps no current page:
    it acts on the first visible page in the order AMP, DLY, MOD, CAB. */
class MainContentComponent : public juce::Component,
                             private juce::Timer
{
public:
    MainContentComponent();
    ~MainContentComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Shows the page of a pedal kind at its size; any other kind changes nothing. */
    void UpdateMainView (int kind);

    /** One record of a patch dump (zero-padded to the longest layout): stores
        it in the visible page and asks for the next, or finishes the dump. */
    void UpdateAlgorithmPreset (const std::array<uint8_t, PatchRecord::maxSize>& record);

    /** The pedal reports a knob change; set without notification. */
    void SetSliderValue (int knob, int value);

    /** The pedal reports its cabinet-simulation (AMP) or trail (DLY) state. */
    void SetCABSIMButton (int state);

    /** Returns to the no-device page and forgets the pedal's state. Safe to
        call more than once in a row. */
    void disconnect();

    /** Whether the first visible page already holds a record with this index. */
    bool holdsRecord (int index) const;

    /** The kind of the first visible page, kindNone when none is visible. */
    uint32_t firstVisiblePage() const;

    /** Algorithm names of the connected pedal, as they arrive. */
    juce::StringArray names;

    std::unique_ptr<KVNoDevice> noDevice;
    std::unique_ptr<KVAMPView> ampView;
    std::unique_ptr<KVDLYView> dlyView;
    std::unique_ptr<KVMODView> modView;
    std::unique_ptr<KVCABView> cabView;

    /** The loading window of the dump in progress; it deletes itself. */
    PromptWindow* loadingWindow = nullptr;

    /** How long a dump waits for its next record before asking again, and
        how often it asks before giving up on the rest. */
    static inline int recordTimeoutMs = 2000;
    static constexpr int recordRequestRetries = 3;

private:
    template <typename Page>
    void storeRecord (Page& page, const std::array<uint8_t, PatchRecord::maxSize>& record);

    /** The end of a CAB dump: the IR index read, and the current patch selected on the pedal. */
    void finishCabDump (KVCABView& page, int current);

    void closeLoadingWindow();
    void waitForRecord (int index);
    void timerCallback() override;

    int awaitedRecord = -1;
    int requestsLeft = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainContentComponent)
};
