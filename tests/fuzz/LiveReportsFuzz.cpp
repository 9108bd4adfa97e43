#include "FuzzSupport.h"

#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "device/ProtocolCodes.h"
#include "support/EditorHarness.h"

// Reports from a pedal, through the live link into the hub and the pages, on
// each pedal kind and at each point of a connection: while the editor asks
// for the algorithm names, while it takes the patch dump, and once it has
// everything. The pedal answers as the simulator does until that point;
// from there the input decides what it sends, which of the editor's
// commands it answers and when, and whether it is pulled out.
//
// Input: a selector (kind, point), the pedal's patch count, then actions.

namespace
{
using tessel::fuzz::ScriptedPedal;
using tessel::fuzz::require;
using tessel::sim::PedalSimulator;

enum class Point
{
    nameLoop,  // the CAB pedal has none: the start of its dump instead
    dump,
    connected
};

constexpr DeviceKind kinds[] = { kindAMP, kindMOD, kindDLY, kindCAB };

enum Action
{
    report = 0,       // 0..3: a report from the pedal
    answerOne = 4,    // the oldest held command is answered as the simulator would
    answerAll = 5,    // every held command, and those its answers bring, in turn
    dropHeld = 6,     // the held commands go unanswered
    replug = 7,       // pulled out, or plugged back in
    actionCount = 8
};

const std::vector<uint8_t> replyCodes = {
    Reply::factoryReset, Reply::presetRecord, Reply::knob, Reply::identity, Reply::patch, Reply::algorithm,
    Reply::bypass, Reply::cabSimulation, Reply::tapTempo, Reply::expressionTarget, Reply::division,
    Reply::expressionRange, Reply::powerAmp, Reply::cabLevel, Reply::powerAmpLevel, Reply::microphone,
    Reply::trail, Reply::saveComplete, Reply::algorithmName, Reply::inputMode, Reply::flashWritten,
    Reply::flashErased, Reply::transferState, Reply::maxDelay
};

tessel::test::EditorHarness& harness()
{
    // One hub for the process: building one with its pages costs more than
    // many inputs. Each input ends with the pedal pulled out, which returns
    // the hub to the no-device page and forgets the pedal.
    static auto* h = new tessel::test::EditorHarness();
    return *h;
}

void drain()
{
    require (tessel::fuzz::drainMessages(), "the message loop never runs dry");
}

std::function<bool (const HidPacket&)> holdPointFor (DeviceKind kind, Point point)
{
    const auto secondRequest = [] (uint8_t code)
    {
        return [code] (const HidPacket& command) { return command.code() == code && command[2] >= 1; };
    };

    switch (point)
    {
        case Point::nameLoop:
            if (kind == kindCAB)
                return [] (const HidPacket& command) { return command.code() == Command::transferState && command[2] == 1; };
            return secondRequest (Command::getAlgorithmName);
        case Point::dump:
            return secondRequest (Command::requestPreset);
        case Point::connected:
            break;
    }
    return {};
}

void answerEverything (ScriptedPedal& pedal)
{
    for (int i = 0; i < 500 && pedal.answerHeld(); ++i)
        drain();
}

void run (tessel::fuzz::Input& input)
{
    auto& h = harness();
    h.dialogs().messages.clear();

    const int selector = input.byte();
    const auto kind = kinds[selector % 4];
    const auto point = (Point) ((selector / 4) % 3);

    auto pedal = std::make_shared<ScriptedPedal> (kind, PedalSimulator::create (kind)->identity());
    pedal->setPatches (1 + input.byte() % 4);
    pedal->holdFrom = holdPointFor (kind, point);

    h.bus.plug (pedal);
    drain();

    if (point == Point::connected)
        pedal->holdFrom = [] (const HidPacket&) { return true; };

    bool plugged = true;
    for (int steps = 0; ! input.empty() && steps < 64; ++steps)
    {
        switch (input.byte() % actionCount)
        {
            case answerOne: pedal->answerHeld(); break;
            case answerAll: answerEverything (*pedal); break;
            case dropHeld: pedal->dropHeld(); break;
            case replug:
                if (plugged)
                    h.bus.unplug (pedal);
                else
                    h.bus.plug (pedal);
                plugged = ! plugged;
                break;
            default:
                pedal->sendReport (tessel::fuzz::frameFrom (input, replyCodes));
                break;
        }
        drain();
    }

    h.bus.unplug (pedal);
    drain();

    // Whatever the pedal sent, its removal leaves no window up and nothing of it behind.
    require (h.hub().loadingWindow == nullptr, "the loading window stays up after the pedal has gone");
    require (h.noDevicePage().isVisible(), "the no-device page is not shown after the pedal has gone");
    require (h.hub().names.isEmpty(), "the pedal's names outlive it");
}

//==============================================================================
/** Records what a pedal sends, to make seeds of real frames. */
struct Recorder : tessel::sim::ReportSink
{
    void deliverReport (const HidPacket& report) override { frames.push_back (report); }
    std::vector<HidPacket> frames;
};

std::vector<HidPacket> framesOf (DeviceKind kind)
{
    auto pedal = PedalSimulator::create (kind);
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
    return recorder.frames;
}

void seeds (tessel::fuzz::SeedWriter& out)
{
    for (int selector = 0; selector < 12; ++selector)
    {
        const auto kind = kinds[selector % 4];
        tessel::fuzz::SeedBytes seed;
        seed.byte (selector).byte (2);

        // The pedal's own frames, each as a report, then the connection carried to its end.
        for (const auto& frame : framesOf (kind))
        {
            seed.byte (report);
            tessel::fuzz::appendFrameSeed (seed, frame);
        }
        seed.byte (answerAll).byte (answerOne).byte (replug).byte (replug).byte (answerAll);
        out.add (seed);
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
