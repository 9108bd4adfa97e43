#include "TransferBench.h"

#include "device/TransferLink.h"
#include "support/FakeHidapi.h"

namespace tessel::fuzz
{
namespace
{
std::shared_ptr<ScriptedPedal> copyOf (const sim::PedalSimulator& model)
{
    auto device = std::make_shared<ScriptedPedal> (model.deviceKind(), model.identity());
    if (model.deviceKind() != kindNone)
        device->setPatches (model.patchCount());
    return device;
}
} // namespace

TransferBench::TransferBench (const std::shared_ptr<sim::PedalSimulator>& model, Input& in, std::vector<uint8_t> answerCodes)
    : device (copyOf (*model)), input (in), codes (std::move (answerCodes))
{
    device->decide = [this] (const HidPacket& command, std::vector<HidPacket>& normalAnswers, std::vector<HidPacket>& answers)
    {
        decide (command, normalAnswers, answers);
    };

    sim::setFakeHidapiBus (&bus);
    bus.plug (device);
}

TransferBench::~TransferBench()
{
    CloseUsbHid();
    bus.unplug (device);
    sim::setFakeHidapiBus (nullptr);
    device->decide = nullptr;
}

void TransferBench::requireLinkClosed() const
{
    require (handle.load() == nullptr && sim::fakeHidapiOpenHandles() == 0, "the job left the transfer link open");
}

void TransferBench::decide (const HidPacket&, std::vector<HidPacket>& normalAnswers, std::vector<HidPacket>& answers)
{
    if (input.empty() || unplugged)
    {
        answers = normalAnswers;
        return;
    }

    const auto decision = input.byte() % decisionCount;
    if (decision < silence)
    {
        answers = normalAnswers;
        return;
    }

    normal = false;
    switch (decision)
    {
        case silence:
            break;
        case replace:
            answers.push_back (frameFrom (input, codes));
            break;
        case staleFirst:
            answers.push_back (frameFrom (input, codes));
            answers.insert (answers.end(), normalAnswers.begin(), normalAnswers.end());
            break;
        default:
            // The bus tells the open handles at once; the device's own lock,
            // held here, is not needed for that.
            unplugged = true;
            bus.unplug (device);
            break;
    }
}
} // namespace tessel::fuzz
