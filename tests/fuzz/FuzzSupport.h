#pragma once

#include <functional>
#include <optional>
#include <utility>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/HidPacket.h"
#include "device/LiveLink.h"
#include "support/PedalSimulator.h"
#include "support/SimulatedUsbBus.h"

// What the fuzz targets share. A target is one *Fuzz.cpp file that defines
// tessel::fuzz::target; the build makes each a libFuzzer program. Run with
// `--write-seeds=<folder>`, the program writes its seeds and exits.

namespace tessel::fuzz
{
/** An input read from the front, so that a seed is its fields written one
    after another. Past the end everything reads as 0. */
class Input
{
public:
    Input (const uint8_t* data, size_t size)
        : next (data),
          end (data + size)
    {
    }

    bool empty() const noexcept { return next == end; }
    uint8_t byte() noexcept { return next < end ? *next++ : 0; }
    bool flag() noexcept { return (byte() & 1) != 0; }
    int inRange (int lo, int hi) noexcept; // one byte, two when the range needs them

    std::vector<uint8_t> bytes (size_t n) // up to n
    {
        const auto* from = next;
        next += std::min (n, (size_t) (end - next));
        return { from, next };
    }

    std::string text (size_t maxLength = 255) // a length byte, then the bytes
    {
        const auto b = bytes (std::min<size_t> (byte(), maxLength));
        return { b.begin(), b.end() };
    }

    std::optional<std::string> maybeText() { return flag() ? std::optional<std::string> (text()) : std::nullopt; }
    std::string rest()
    {
        return { reinterpret_cast<const char*> (std::exchange (next, end)), reinterpret_cast<const char*> (end) };
    }

private:
    const uint8_t* next;
    const uint8_t* end;
};

/** Builds a seed in the layout Input reads. */
struct SeedBytes
{
    std::vector<uint8_t> bytes;

    SeedBytes& byte (int b)
    {
        bytes.push_back ((uint8_t) b);
        return *this;
    }
    SeedBytes& text (std::string_view t)
    {
        return byte ((int) std::min<size_t> (t.size(), 255)).raw (t.data(), bytes.back());
    }
    SeedBytes& maybeText (const std::optional<std::string>& t) { return t ? byte (1).text (*t) : byte (0); }
    SeedBytes& raw (const void* data, size_t size)
    {
        bytes.insert (bytes.end(), static_cast<const uint8_t*> (data), static_cast<const uint8_t*> (data) + size);
        return *this;
    }
    template <typename Bytes>
    SeedBytes& raw (const Bytes& b)
    {
        return raw (b.data(), b.size());
    }
    SeedBytes& frame (const HidPacket& f); // as frameFrom reads it back, the checksum kept
};

/** Writes seed files into a folder, numbered in order. */
struct SeedWriter
{
    juce::File folder;
    int written = 0;

    void add (const void* data, size_t size)
    {
        folder.getChildFile ("seed-" + juce::String (written++).paddedLeft ('0', 3)).replaceWithData (data, size);
    }
    void add (const SeedBytes& seed) { add (seed.bytes.data(), seed.bytes.size()); }
};

extern const struct Target
{
    bool needsGui;
    void (*writeSeeds) (SeedWriter&);
    void (*run) (Input&);
} target; // defined by each target

/** Handles every message posted and what those post, without waiting; a loop that posts itself for ever
    is a finding. */
void drain();

/** Ends the process with a report (libFuzzer keeps the input) unless the condition holds. */
void require (bool condition, const char* what);

/** A file in a folder of the process's own (in memory where the machine has it), emptied at start. */
juce::File scratchFile (const juce::String& name);

/** Makes the file hold exactly these bytes, an empty file included. */
juce::File writeWholeFile (const juce::File& file, const void* data, size_t size);

/** A 64-byte frame: flags (bit 1 a broken checksum), the code, a length, the payload. */
HidPacket frameFrom (Input& input);

/** The long jobs (firmware update, the CAB import, the factory reset) open
    the pedal through hidapi and wait for each answer. Here the fake hidapi
    hands them a pedal on a simulated bus whose every answer the input
    decides, one byte per command; once the input runs out, the simulator's. */
class TransferBench
{
public:
    enum Decision
    {
        answer = 0,     // 0..3: as the simulator does
        silence = 4,    // no answer at all
        replace = 5,    // a frame from the input instead
        staleFirst = 6, // a frame from the input, then the simulator's answers
        pullOut = 7,    // the pedal is pulled out instead of answering
        decisionCount = 8
    };

    TransferBench (std::shared_ptr<sim::PedalSimulator> pedal, Input& input);
    ~TransferBench();

    /** Runs the job as its thread would, ends it (deleting it) and handles what it posted; checks
        it closed the link and, cut off by the pedal's removal, said it failed. Returns its boxes' texts. */
    juce::StringArray runJob (juce::ThreadWithProgressWindow* job, const char* failedMessage,
                              const std::function<void()>& afterRun = {});

    bool answeredNormally() const noexcept { return normal; } // the simulator's answers and nothing else, so far
    bool pulledOut() const noexcept { return unplugged; }
    void pullOutNow();

    sim::SimulatedUsbBus bus;
    std::shared_ptr<sim::PedalSimulator> device;

private:
    /** The jobs act only on the pedal the live link has: the bench links
        its pedal as the window would, and hears nothing of it. */
    struct Window : public LiveLinkListener
    {
        void pedalMatched (const juce::String&) override {}
        void updateModeDeviceFound (const juce::String&) override {}
        void reportArrived (uint8_t*, long) override {}
        void pedalInaccessible (const juce::String&) override {}
        void pedalRemoved() override {}
    } window;

    Input& input;
    bool normal = true;
    bool unplugged = false;
    bool whileLeaving = false;
};
} // namespace tessel::fuzz
