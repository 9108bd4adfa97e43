#pragma once

#include <array>
#include <cstdint>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/LiveLink.h"
#include "device/PatchRecord.h"

class ConnectionSequence;
class PedalPage;
class KVDLYView;
class KVMODView;
class KVCABView;

/** What the reply decoder acts on: the window, which holds the pages and the
    connection under way. The window implements it; the decoder knows no more
    of the window than this. */
class ReplyWindow
{
public:
    virtual ~ReplyWindow() = default;

    virtual juce::Component& windowComponent() = 0;

    /** The connection of the linked pedal; null while none is under way. */
    virtual ConnectionSequence* liveConnection() = 0;

    /** The first visible page in the order AMP, DLY, MOD, CAB; null when none is. */
    virtual PedalPage* visiblePage() = 0;

    /** A page by its kind (kindAMP .. kindCAB), visible or not. */
    virtual PedalPage& page (int kind) = 0;

    // The pages whose reports only they take.
    virtual KVDLYView& dlyPage() = 0;
    virtual KVMODView& modPage() = 0;
    virtual KVCABView& cabPage() = 0;

    /** Shows the page of a pedal kind at its size. */
    virtual void UpdateMainView (int kind) = 0;

    /** One record of a patch dump, zero-padded to the longest layout. */
    virtual void UpdateAlgorithmPreset (const std::array<uint8_t, PatchRecord::maxSize>& record) = 0;

    /** The pedal reports its cabinet-simulation (AMP) or trail (DLY) state. */
    virtual void SetCABSIMButton (int state) = 0;
};

/** The one entry point for everything the pedal sends on the live link. It
    decides which page a reply reaches and tells that page. The replies of
    the connection (identity, names, dump) act only through the window's
    ConnectionSequence, and what they post is dropped if that sequence has
    ended by the time it runs. */
void MyInputCallback (ReplyWindow& window, const uint8_t* report, long reportLength);

/** Ends a patch dump on the pedal: leaves the transfer state and asks for the
    switch states the pages show (bypass; tap tempo and, on DLY, the longest
    delay). Sent before the last record is stored, and when a stalled dump is
    given up. */
void sendEndOfDumpCommands();
