#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/HidPacket.h"
#include "support/PedalSimulator.h"

// What every fuzz target shares: one JUCE for the process, a message loop
// that is drained rather than waited on, a pedal whose answers the input
// decides, and a way to write each target's seed corpus from the same
// simulator and writers the tests use.
//
// A target is one *Fuzz.cpp file that defines tessel::fuzz::target; the
// build makes it a libFuzzer program of its own. Run with
// `--write-seeds=<folder>` the program writes its seeds and exits.

namespace tessel::fuzz
{
/** An input read from the front, in order, so that a seed is simply its
    fields written one after another. Past the end everything reads as 0. */
class Input
{
public:
    Input (const uint8_t* data, size_t size) : next (data), end (data + size) {}

    bool empty() const noexcept { return next == end; }
    size_t remaining() const noexcept { return (size_t) (end - next); }

    uint8_t byte() noexcept { return next < end ? *next++ : 0; }
    bool flag() noexcept { return (byte() & 1) != 0; }

    /** A value from lo to hi (one byte of input; two when the range needs it). */
    int inRange (int lo, int hi) noexcept;

    /** Up to n bytes (fewer at the end). */
    std::vector<uint8_t> bytes (size_t n);

    /** A text of at most maxLength bytes: a length byte, then the bytes. */
    std::string text (size_t maxLength = 255);

    /** Whatever is left. */
    std::string rest();

private:
    const uint8_t* next;
    const uint8_t* end;
};

/** Builds a seed in the layout Input reads. */
struct SeedBytes
{
    std::vector<uint8_t> bytes;

    SeedBytes& byte (int b) { bytes.push_back ((uint8_t) b); return *this; }
    SeedBytes& text (std::string_view t);
    SeedBytes& raw (const void* data, size_t size);
    SeedBytes& raw (std::string_view t) { return raw (t.data(), t.size()); }
    SeedBytes& raw (const std::vector<uint8_t>& b) { return raw (b.data(), b.size()); }
};

/** Writes seed files into a folder, numbered in order. */
class SeedWriter
{
public:
    explicit SeedWriter (juce::File folder);

    void add (const void* data, size_t size);
    void add (const juce::MemoryBlock& data) { add (data.getData(), data.getSize()); }
    void add (const std::vector<uint8_t>& data) { add (data.data(), data.size()); }
    void add (const SeedBytes& seed) { add (seed.bytes); }

    int count() const noexcept { return written; }

private:
    juce::File folder;
    int written = 0;
};

struct Target
{
    /** Whether the target needs JUCE's GUI side (components, a display). */
    bool needsGui;

    /** Writes the target's seed corpus. */
    void (*writeSeeds) (SeedWriter&);

    /** Runs one input. */
    void (*run) (Input&);
};

/** Defined by each target. */
extern const Target target;

/** Handles every message posted so far and what those post in turn, without
    waiting for time to pass. Gives up after `limit` messages, which only a
    loop that posts itself for ever would reach. Returns false then. */
bool drainMessages (int limit = 20000);

/** Ends the process with a report when a property the target checks fails;
    libFuzzer keeps the input that caused it. */
void require (bool condition, const char* what);

/** A folder of the process's own under the temporary folder, emptied at start. */
juce::File scratchFolder();

/** Makes the file hold exactly these bytes, an empty file included. */
void writeWholeFile (const juce::File& file, const void* data, size_t size);

/** Writes the bytes to a file in the scratch folder and returns it. */
juce::File writeScratchFile (const juce::String& name, const void* data, size_t size);

/** A 64-byte frame from the input: a code taken from `codes` (or any byte,
    when the input says so), a length and payload, sealed with its checksum
    unless the input asks for a broken one. */
HidPacket frameFrom (Input& input, const std::vector<uint8_t>& codes);

/** The seed layout frameFrom reads back for a real frame: picks the frame's
    code as a raw byte and keeps its checksum. Append to a seed vector. */
void appendFrameSeed (SeedBytes& seed, const HidPacket& frame);

/** A pedal whose behaviour the input takes over from a chosen moment. Until
    then it answers as the simulator does. From then on it can hold the
    commands it receives (the input decides later when each is answered), or
    let the input decide each answer as it comes (a transfer job that waits
    for it). */
class ScriptedPedal : public sim::PedalSimulator
{
public:
    using PedalSimulator::PedalSimulator;

    /** Each command the pedal receives from the moment this returns true for
        one (that one included) is held until answerHeld(). */
    std::function<bool (const HidPacket&)> holdFrom;

    /** When set, every command's answers are chosen here (the input is read
        on the thread that sends the command). */
    std::function<void (const HidPacket& command, std::vector<HidPacket>& normal, std::vector<HidPacket>& answers)> decide;

    bool isHolding() const;
    size_t heldCount() const;

    /** Answers the oldest held command as the simulator would; false when none is held. */
    bool answerHeld();

    /** Forgets the held commands without an answer. */
    void dropHeld();

protected:
    void handleCommand (const HidPacket& command, std::vector<HidPacket>& answers) override;

private:
    bool holding = false;
    std::deque<HidPacket> held;
};
} // namespace tessel::fuzz
