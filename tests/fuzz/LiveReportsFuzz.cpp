#include "FuzzSupport.h"

#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "device/ProtocolCodes.h"
#include "support/EditorHarness.h"

// Reports from a pedal, through the live link into the hub and the pages, on
// each pedal kind and at each point of a connection: while the editor asks
// for the algorithm names (the CAB pedal has none: the start of its dump
// instead), while it takes the patch dump, and once it has everything. The
// pedal answers as the simulator does until that point; from there the input
// decides what it sends, which commands it answers and when, and whether it
// is pulled out.
//
// Input: a selector (kind, point), the pedal's patch count, then actions.

namespace
{
using namespace tessel::fuzz;
using tessel::sim::PedalSimulator;

constexpr DeviceKind kinds[] = { kindAMP, kindMOD, kindDLY, kindCAB };

// 0..3: a report from the pedal; the oldest held command answered as the simulator would; every
// held command and those its answers bring, in turn; the held commands dropped; pulled out or back in.
enum Action { report = 0, answerOne = 4, answerAll, dropHeld, replug, actionCount };

const std::vector<uint8_t> replyCodes = {
    Reply::factoryReset, Reply::presetRecord, Reply::knob, Reply::identity, Reply::patch, Reply::algorithm,
    Reply::bypass, Reply::cabSimulation, Reply::tapTempo, Reply::expressionTarget, Reply::division,
    Reply::expressionRange, Reply::powerAmp, Reply::cabLevel, Reply::powerAmpLevel, Reply::microphone,
    Reply::trail, Reply::saveComplete, Reply::algorithmName, Reply::inputMode, Reply::flashWritten,
    Reply::flashErased, Reply::transferState, Reply::maxDelay
};

void drain() { require (drainMessages(), "the message loop never runs dry"); }

void run (Input& input)
{
    // One hub for the process: building one costs more than many inputs. Each
    // input ends with the pedal pulled out, which forgets it.
    static auto& h = *new tessel::test::EditorHarness();
    h.dialogs().messages.clear();

    const int selector = input.byte();
    const auto kind = kinds[selector % 4];
    const int point = (selector / 4) % 3;

    auto pedal = std::make_shared<ScriptedPedal> (kind, PedalSimulator::create (kind)->identity());
    pedal->setPatches (1 + input.byte() % 4);
    // Held from the second name request (point 0), the second patch request (1), or once connected (2).
    const auto code = point == 1 ? Command::requestPreset : kind == kindCAB ? Command::transferState : Command::getAlgorithmName;
    if (point < 2)
        pedal->holdFrom = [code] (const HidPacket& command) { return command.code() == code && command[2] >= 1; };

    h.bus.plug (pedal);
    drain();
    if (point == 2)
        pedal->holdFrom = [] (const HidPacket&) { return true; };

    bool plugged = true;
    for (int steps = 0; ! input.empty() && steps < 64; ++steps, drain())
    {
        switch (input.byte() % actionCount)
        {
            case answerOne: pedal->answerHeld(); break;
            case answerAll:
                for (int i = 0; i < 500 && pedal->answerHeld(); ++i)
                    drain();
                break;
            case dropHeld: pedal->dropHeld(); break;
            case replug:
                plugged ? h.bus.unplug (pedal) : h.bus.plug (pedal);
                plugged = ! plugged;
                break;
            default: pedal->sendReport (frameFrom (input, replyCodes)); break;
        }
    }

    h.bus.unplug (pedal);
    drain();

    // Whatever the pedal sent, its removal leaves no window up and nothing of it behind.
    require (h.hub().loadingWindow == nullptr && h.noDevicePage().isVisible() && h.hub().names.isEmpty(),
             "the pedal's window, page or names outlive it");
}

struct Recorder : tessel::sim::ReportSink
{
    void deliverReport (const HidPacket& report) override { frames.push_back (report); }
    std::vector<HidPacket> frames;
};

void seeds (SeedWriter& out)
{
    // The pedal's own frames as reports, then the connection carried to its
    // end; once connected, a pedal of one patch, whose CAB dump once never ended.
    for (int selector = 0; selector < 12; ++selector)
    {
        auto pedal = PedalSimulator::create (kinds[selector % 4]);
        pedal->setPatches (3);
        Recorder recorder;
        pedal->attachSink (&recorder);
        for (const auto& command : { HidPacket::command (Command::identify), HidPacket::command (Command::getAlgorithmName, { 2 }),
                                     HidPacket::command (Command::requestPreset, { 1 }), HidPacket::command (Command::getBypass),
                                     HidPacket::command (Command::getTapTempo), HidPacket::command (Command::getMaxDelay),
                                     HidPacket::command (Command::transferState, { 0 }) })
            pedal->receive (command.data(), HidPacket::size);
        pedal->turnKnob (1, 50);
        pedal->selectPatchOnPedal (2);
        pedal->selectAlgorithmOnPedal (3);
        pedal->setBypassOnPedal (0);
        pedal->setCabSimulationOnPedal (1);
        pedal->setTapTempoSyncOnPedal (true);
        pedal->setDivisionOnPedal (3);
        pedal->setExpressionTargetOnPedal (2);
        pedal->setExpressionRangeOnPedal (10, 90);
        pedal->setTrailOnPedal (1);
        pedal->setInputModeOnPedal (1);
        pedal->detachSink (&recorder);

        SeedBytes seed;
        seed.byte (selector).byte (selector >= 8 ? 0 : 2);
        for (const auto& frame : recorder.frames)
            seed.byte (report).frame (frame);
        out.add (seed.byte (answerAll).byte (answerOne).byte (replug).byte (replug).byte (answerAll));
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
