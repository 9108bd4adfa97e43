#pragma once

#include "FuzzSupport.h"
#include "support/SimulatedUsbBus.h"

// The long jobs (firmware update, the CAB pedal's patch import, the factory
// reset) open the pedal through hidapi and wait for each answer. Here the
// fake hidapi hands them a device on a simulated bus whose every answer the
// input decides: the simulator's own, none, another frame in its place, a
// stale frame before it, or the device pulled out instead.
//
// A target for another job is a *Fuzz.cpp file of a few lines:
//
//     void run (tessel::fuzz::Input& input)
//     {
//         const auto settings = ...;                     // the job's own parameters, from the input
//         tessel::fuzz::TransferBench bench (PedalSimulator::create (kindCAB), input, { Reply::... });
//         runTheJobsWorkOnThisThread (settings);        // as its thread would
//         if (bench.answeredNormally())
//             require (what the pedal holds is what the job wrote, "...");
//         bench.requireLinkClosed();
//     }
//     const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
//
// with its seeds: the job's parameters followed by nothing (every answer the
// simulator's), or by a decision byte per command (see TransferBench::Decision).

namespace tessel::fuzz
{
class TransferBench
{
public:
    /** What the device does with one command: the input's next byte, modulo decisionCount. */
    enum Decision
    {
        answer = 0,        // 0..3: as the simulator does
        silence = 4,       // no answer at all
        replace = 5,       // a frame from the input instead (codes from answerCodes)
        staleFirst = 6,    // a frame from the input, then the simulator's answers
        pullOut = 7,       // the device is pulled out instead of answering
        decisionCount = 8
    };

    /** Plugs in a device with the model's identity, state and kind, and
        points the fake hidapi at it. Once the input runs out, every answer
        is the simulator's. */
    TransferBench (const std::shared_ptr<sim::PedalSimulator>& model, Input& input, std::vector<uint8_t> answerCodes);
    ~TransferBench();

    /** Whether every command so far got the simulator's answers and nothing else. */
    bool answeredNormally() const noexcept { return normal; }

    /** Whether the device was pulled out. */
    bool pulledOut() const noexcept { return unplugged; }

    /** Fails unless the job has closed the transfer link behind it. */
    void requireLinkClosed() const;

    sim::SimulatedUsbBus bus;
    std::shared_ptr<ScriptedPedal> device;

private:
    void decide (const HidPacket& command, std::vector<HidPacket>& normalAnswers, std::vector<HidPacket>& answers);

    Input& input;
    const std::vector<uint8_t> codes;
    bool normal = true;
    bool unplugged = false;
};
} // namespace tessel::fuzz
