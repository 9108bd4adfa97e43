#include "FuzzSupport.h"

#include <deque>

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

// 0..3: a report from the pedal; the answers to the oldest held command sent; those to every held
// command and to those their answers bring, in turn; the held answers dropped; pulled out or back in.
enum Action
{
    report = 0,
    answerOne = 4,
    answerAll,
    dropHeld,
    replug,
    actionCount
};

void run (Input& input)
{
    // One hub for the process: building one costs more than many inputs. Each
    // input ends with the pedal pulled out, which forgets it.
    static auto& h = *new tessel::test::EditorHarness();
    h.dialogs().messages.clear();

    const int selector = input.byte();
    const auto kind = kinds[selector % 4];
    const int point = (selector / 4) % 3;

    auto pedal = PedalSimulator::create (kind);
    pedal->setPatches (1 + input.byte() % 4);

    // Held from the second name request (point 0), the second patch request (1), or once connected (2):
    // each command's answers wait until the input lets them go.
    const auto code = point == 1 ? Command::requestPreset
        : kind == kindCAB        ? Command::transferState
                                 : Command::getAlgorithmName;
    bool holding = false;
    std::deque<std::vector<HidPacket>> held;
    pedal->onAnswers = [&] (const HidPacket& command, std::vector<HidPacket>& answers)
    {
        holding = holding || (point < 2 && command.code() == code && command[2] >= 1);
        if (holding)
            held.push_back (std::exchange (answers, {}));
    };
    const auto answerHeld = [&]
    {
        if (held.empty())
            return false;
        const auto answers = std::move (held.front());
        held.pop_front();
        for (const auto& answer : answers)
            pedal->sendReport (answer);
        return true;
    };

    h.bus.plug (pedal);
    drain();
    holding = holding || point == 2;

    bool plugged = true;
    for (int steps = 0; ! input.empty() && steps < 64; ++steps, drain())
    {
        switch (input.byte() % actionCount)
        {
            case answerOne:
                answerHeld();
                break;
            case answerAll:
                for (int i = 0; i < 500 && answerHeld(); ++i)
                    drain();
                break;
            case dropHeld:
                held.clear();
                break;
            case replug:
                plugged ? h.bus.unplug (pedal) : h.bus.plug (pedal);
                plugged = ! plugged;
                break;
            default:
                pedal->sendReport (frameFrom (input));
                break;
        }
    }

    h.bus.unplug (pedal);
    drain();
    pedal->onAnswers = nullptr;

    // Whatever the pedal sent, its removal leaves no window up and nothing of it behind.
    require (h.hub().loadingWindow == nullptr && h.noDevicePage().isVisible() && h.hub().connection == nullptr,
             "the pedal's window, page or names outlive it");
}

void seeds (SeedWriter& out)
{
    // The pedal's answers and what its knobs and switches report, then the connection carried to its
    // end; once connected, a pedal of one patch, whose CAB dump once never ended.
    for (int selector = 0; selector < 12; ++selector)
    {
        SeedBytes seed;
        seed.byte (selector).byte (selector >= 8 ? 0 : 2);

        auto pedal = PedalSimulator::create (kinds[selector % 4]);
        pedal->setPatches (3);
        pedal->onAnswers = [&seed] (const HidPacket&, std::vector<HidPacket>& answers)
        {
            for (const auto& answer : answers)
                seed.byte (report).frame (answer);
        };
        for (const auto& command :
             { HidPacket::command (Command::identify), HidPacket::command (Command::getAlgorithmName, { 2 }),
               HidPacket::command (Command::requestPreset, { 1 }), HidPacket::command (Command::getBypass),
               HidPacket::command (Command::getTapTempo), HidPacket::command (Command::getMaxDelay),
               HidPacket::command (Command::transferState, { 0 }) })
            pedal->receive (command.data(), HidPacket::size);

        for (auto code :
             { Reply::knob, Reply::patch, Reply::algorithm, Reply::bypass, Reply::cabSimulation, Reply::tapTempo,
               Reply::division, Reply::expressionTarget, Reply::expressionRange, Reply::trail, Reply::inputMode })
            seed.byte (report).frame (HidPacket::command (code, { 1, 50 }));
        out.add (seed.byte (answerAll).byte (answerOne).byte (replug).byte (replug).byte (answerAll));
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
