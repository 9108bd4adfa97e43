#pragma once

#include <functional>

#include <juce_events/juce_events.h>

#include "cab/FileList.h"
#include "device/LiveLink.h"

/** Reads the IR index from the pedal's volume once the volume is mounted and
    after every change the IR library makes. The volume can take a moment to
    become readable after it appears, so a missing index is tried again,
    half a second apart, for six attempts in all; the pedal gets command 0x40
    after every attempt, whatever its outcome. Each attempt first clears away
    the temporary index a write cut off by the volume leaving left behind.
    Everything runs on the message thread, which stays free between attempts. */
class LoadDisk : private juce::Timer
{
public:
    static constexpr int maxAttempts = 6;
    static constexpr int retryIntervalMs = 500;

    LoadDisk();
    ~LoadDisk() override;

    /** Where the volume is mounted, with a closing "/"; empty while there is
        none. The linked pedal's own volume (disk_Name) unless replaced. */
    std::function<juce::String()> volumePath;

    /** Gets the index read, with the volume path it was read from; the
        caller puts it in force and refreshes the list. */
    std::function<void (ListInfor, const juce::String& volume)> onLoaded;

    /** After the last attempt failed; the list keeps what it showed. */
    std::function<void()> onGaveUp;

    /** Sends command 0x40 to the pedal (nothing when none is linked). */
    std::function<void()> sendIndexRead;

    /** Begins a new series of attempts for the pedal of `session`, the first
        one as soon as the message loop runs. A series under way starts over.
        Once that pedal's session has ended, the series stops without reading
        or sending anything: the next pedal must not get command 0x40. With
        a session already ended, nothing starts, and a series under way for
        the pedal linked now goes on as it was. */
    void start (const LinkSession& session = {});

    /** Drops the series under way; nothing more is read or sent. */
    void cancel();

    bool isLoading() const { return isTimerRunning(); }

private:
    void timerCallback() override;

    int attemptsMade = 0;
    LinkSession session;

    JUCE_DECLARE_NON_COPYABLE (LoadDisk)
};

/** The IR list's minimum row width for this index: the width of the widest
    valid, non-empty name in the list's 15-point font, rounded up. */
int irListRowWidth (const IrTable& table);
