#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/HidPacket.h"
#include "device/LiveLink.h"

/** What the long jobs that hold the pedal through the transfer link share
    (the firmware update, the CAB pedal's all-patches import and its factory
    reset): the modal progress window, the count of jobs alive, the link
    opened for as long as the job's work lasts, the sliced wait for an answer,
    and the pedal's way out of its transfer state whatever happened to the
    link meanwhile. A job runs once and deletes itself when its window has
    gone; only one runs at a time, behind its modal window. */
class TransferJob : public juce::ThreadWithProgressWindow
{
public:
    ~TransferJob() override;

    /** Closes what the job left open, takes its pedal out of a transfer state
        begun on the live link, lets the job tell its outcome, and deletes it. */
    void threadComplete (bool cancelled) final;

    /** Transfer jobs created and not yet deleted. */
    static int jobsInProgress() noexcept;

    /** How long the window gives the job's thread to stop. */
    static constexpr int stopTimeoutMs = 10000;

    /** Why a job sent nothing, when its pedal could not be made sure of. */
    static constexpr const char* pedalChangedMessage =
        "The pedal was replaced by another one before the transfer began, so nothing was sent. Please try again.";
    static constexpr const char* cannotTellApartMessage =
        "Another pedal of the same kind is connected, so this one cannot be told apart. Please disconnect the other "
        "pedal and try again.";

protected:
    enum class Colours
    {
        standard,
        palette // the dark window of the jobs that rewrite the pedal's flash
    };

    TransferJob (const juce::String& title, const juce::String& status, Colours colours);

    /** What the job tells once its window has gone, on the message thread. */
    virtual void finished() = 0;

    /** The transfer link, open for as long as this lives. A transfer state
        begun on it is ended on it before it closes, on every way out. */
    class Link
    {
    public:
        /** Opens the device at devicePath, or with no path the one device
            attached with the IDs, and none while several are. */
        Link (int vendorId, int productId, const juce::String& devicePath = {});
        ~Link();

        bool isOpen() const noexcept { return open; }

        /** Several devices with the IDs were attached and there was no path to choose one. */
        bool couldNotTellApart() const noexcept { return ambiguous; }

        /** Tells the pedal a transfer begins; it is told the end on close. */
        void beginTransferState();

    private:
        bool open = false;
        bool ambiguous = false;
        bool inTransferState = false;

        JUCE_DECLARE_NON_COPYABLE (Link)
    };

    /** How opening the link to the job's own pedal went. */
    enum class Start
    {
        ready,          // open, to the pedal the job was started for
        pedalGone,      // that pedal has gone, or the window gave it up: nothing was sent
        pedalChanged,   // another pedal has been linked in its place: nothing was sent
        cannotTellApart // another pedal with the same IDs is attached and there is no path to choose
    };

    /** After the job's start pause: opens `link` to the pedal the job was
        started for, by that pedal's own device path, provided it is still
        the linked one (asked again once the link is open, as the pedal may
        be swapped meanwhile). Anything but ready leaves the link closed. */
    Start openOwnPedal (std::optional<Link>& link, int vendorId, int productId);

    /** Tells the user why a job did not start, for the verdicts that need
        words of their own. Returns whether it told. Message thread. */
    static bool tellWhyNotStarted (Start start);

    /** Whether a pedal other than the job's own is linked now. */
    bool anotherPedalLinked() const;

    /** Whether the live link has the job's own pedal, in the window's
        session or not: its answers then reach the reply decoder. */
    bool ownPedalLinked() const;

    /** Sends a frame to the pedal the job was started for, by that pedal's
        own device on the live link, linked or not, while it is attached.
        Message thread. Returns whether it went out. */
    bool sendToOwnPedal (const HidPacket& frame) const;

    /** What a report read while waiting is to the job. */
    enum class Match
    {
        no,     // passed over (a report for the live link, an older answer)
        likely, // taken unless a better one comes within settleMs
        exact   // the answer
    };

    using Matcher = std::function<Match (const HidPacket&)>;

    /** Any report at all is the answer, damaged ones too. */
    static Match anyReport (const HidPacket&) { return Match::exact; }

    /** Reads the link until `match` takes a report, timeoutMs has passed, the
        link fails or the job is asked to stop. The wait goes in short slices
        so that the job can still be stopped while the pedal is busy. What the
        pedal sent in time counts however late this thread comes to read it
        (a busy machine): the reports queued by then are still read, a hidraw
        queue's worth at the most. Returns the bytes of the report taken, 0
        when none was, negative when the link failed. */
    int awaitAnswer (HidPacket& answer, int timeoutMs, const Matcher& match = anyReport, int settleMs = 0);

    /** Sends the transfer-state command on the live link, from the message
        thread (the live link is that thread's), and goes on once it has gone,
        so that the pedal gets it before anything the job sends next. Sent
        only while the pedal the job was started for is still linked; once
        sent, the job's end takes that pedal out of the transfer state again
        wherever it still is attached, linked or not. */
    void beginLiveTransferState();

    /** Whether the live link still has the pedal the job was started for, in
        the same session, and no send to it has failed. */
    bool samePedalLinked() const;

    /** The pedal the job was started for. */
    const LinkSession session;

private:
    void endLiveTransferState();

    /** The link's number for the pedal and the pedal's kind, at the start. */
    const uint32_t pedal;
    const uint32_t kind;

    /** Where hidapi finds that pedal, as the live link knew it at the start. */
    const juce::String pedalPath;

    /** Shared with what the job posts, which may run after the job has gone. */
    const std::shared_ptr<std::atomic<bool>> inLiveTransferState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TransferJob)
};
