#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <juce_events/juce_events.h>

#include "device/HidPacket.h"
#include "device/ProtocolCodes.h"

/** The connection of one linked pedal, from its identify command to the end
    of its patch dump: which step it is at, the algorithm names collected so
    far, and the watchdog that asks again when the pedal does not answer a
    step. The hub creates one for each pedal the live link links and drops
    it in disconnect(), which also runs when another pedal is linked; the
    reply decoder and the hub ask it before they act on a connection reply.
    Nothing it started outlives it: dropped half-way through a dump, it takes
    its pedal out of the transfer state, if that pedal is still attached.
    Lives on the message thread. */
class ConnectionSequence : private juce::Timer
{
public:
    /** For the pedal the live link has just linked (linkedPedal()). */
    explicit ConnectionSequence (uint32_t pedal);
    ~ConnectionSequence() override;

    /** How long each step waits for the pedal's answer before asking again,
        and how often it asks again before giving up. */
    static inline int identityTimeoutMs = 2000;
    static constexpr int identityRequestRetries = 3;
    static inline int nameTimeoutMs = 2000;
    static constexpr int nameRequestRetries = 3;
    static inline int recordTimeoutMs = 2000;
    static constexpr int recordRequestRetries = 3;

    /** The pedal does not answer its identify command, a name request or
        the request for its first record, however often asked. Called last:
        it may delete this sequence. */
    std::function<void()> onSilent;

    /** A later record of the dump stayed away however often asked; the pedal has
        been taken out of its transfer state. Called last, as onSilent. */
    std::function<void()> onDumpStalled;

    /** The live link's number for this sequence's pedal. */
    uint32_t pedal() const noexcept { return pedalNumber; }

    /** The pedal kind its identity gave, kindNone before it answered. */
    DeviceKind kind() const noexcept { return identified; }

    // Identify. ------------------------------------------------------------

    /** The identify command has gone out: waits for the answer. */
    void awaitIdentity();

    /** The pedal's identity answer. False when it must change nothing: a
        slow pedal answers the identify command and its repetition both, and
        the second answer must not start the names over. */
    bool identify (DeviceKind kind);

    // Algorithm names (AMP, MOD, DLY). --------------------------------------

    /** Asks for name 0. */
    void startNames();

    enum class NameStep
    {
        ignored, // not an answer the name loop waits for
        next,    // the name is kept and the next one asked for
        complete // the last name is kept and the dump begun
    };

    /** One name answer, with its name already read from the report. */
    NameStep takeName (const uint8_t* report, const juce::String& name);

    /** The next algorithm name to request. */
    uint32_t AlgorithmNumber = 0;

    /** The names collected so far, in the pedal's order. */
    juce::StringArray names;

    // Patch dump. -----------------------------------------------------------

    /** Puts the pedal in its transfer state, which makes it begin the dump. */
    void startDump();

    /** Takes the pedal out of its transfer state and asks for the switch
        states the pages show; once per dump, whichever asks first. */
    void endDump();

    bool dumpEnded() const noexcept { return ended; }

    /** Record `index` is the next one the dump needs. */
    void awaitRecord (int index);

    /** Every record has arrived: nothing more is waited for. */
    void dumpComplete();

private:
    enum class Awaited
    {
        nothing,
        identity,
        name,
        record
    };

    void await (Awaited what, int retries, int timeoutMs);
    void timerCallback() override;

    /** Calls one of the hub's handlers from a copy: it may delete this sequence. */
    static void tell (std::function<void()> handler);

    const uint32_t pedalNumber;
    DeviceKind identified = kindNone;

    Awaited awaited = Awaited::nothing;
    int requestsLeft = 0;
    int awaitedRecord = -1;

    bool namesRunning = false;

    // A name asked for again may be answered twice; the later answers repeat
    // the first one byte for byte and are not the next name.
    int nameRequestsRepeated = 0;
    int repeatsExpected = 0;
    std::array<uint8_t, HidPacket::size> lastNameAnswer {};

    bool dumpUnderWay = false;
    bool ended = false;

    JUCE_DECLARE_WEAK_REFERENCEABLE (ConnectionSequence)
    JUCE_DECLARE_NON_COPYABLE (ConnectionSequence)
};
