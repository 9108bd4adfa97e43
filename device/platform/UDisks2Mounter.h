#pragma once

#include <functional>
#include <memory>

#include <juce_core/juce_core.h>

#include "device/platform/DiskSession.h"

// Mounts a volume the way a Linux desktop's file manager does: it asks
// udisks2, on the system bus, to mount the block device, and udisks2 answers
// where it put it (under /media/<user>/ or /run/media/<user>/). A machine
// with no automounter leaves a USB volume attached but unmounted; this is how
// the editor reaches the pedal's IRs there all the same.
//
// GLib's GDBus does the talking, not libudisks2: each request gets a
// connection of its own to whatever bus DBUS_SYSTEM_BUS_ADDRESS names at that
// moment (a shared one would outlive a bus that has gone, and by default ends
// the program when that bus closes), every call carries its own time-out and
// can be cancelled, and no GLib main loop has to run in the editor.

/** What udisks2 made of one request. */
struct MountAnswer
{
    /** Where the volume is mounted now, without a closing "/"; empty when it
        is not. */
    juce::String mountPath;

    /** Why it is not, in words for the diagnostics; empty when it is. */
    juce::String why;

    /** What kind of failure it was, when it is not mounted. */
    MountFailure failure = MountFailure::refused;

    bool mounted() const { return mountPath.isNotEmpty(); }
};

class UDisks2Mounter
{
public:
    /** How long one request may take, from connecting to the answer. Mounting
        a small FAT volume takes well under a second. */
    static inline int timeoutMs = 15000;

    UDisks2Mounter();

    /** Cancels the requests under way and waits for their threads, which
        return at once; their answers are never delivered. */
    ~UDisks2Mounter();

    using Answered = std::function<void (MountAnswer)>;

    /** Asks udisks2 to mount the block device with this device number
        ("major:minor"), from a thread of its own; `answered` runs later on the
        message thread. A volume already mounted, or mounted by someone else
        while we ask, answers with its path. Never
        asks the user for a password: where the system wants one, the request
        is refused and the user can mount the volume by hand. */
    void mount (const juce::String& deviceNumber, Answered answered);

    struct Requests;

private:
    std::shared_ptr<Requests> requests;

    JUCE_DECLARE_NON_COPYABLE (UDisks2Mounter)
};
