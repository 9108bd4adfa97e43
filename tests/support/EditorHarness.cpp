#include "support/EditorHarness.h"

#include "device/LiveLink.h"
#include "device/ReplyDecoder.h"

namespace tessel::test
{
void resetLinkGlobals()
{
    stopLiveLink();
    Device = kindNone;
    AlgorithmNumber = 0;
}

EditorHarness::EditorHarness()
{
    resetLinkGlobals();
    hidManagerFactory = [this] { return bus.createHidManager(); };
    content = std::make_unique<MainContentComponent>();
    pumpPending();
}

EditorHarness::~EditorHarness()
{
    content = nullptr;
    pumpPending();
    hidManagerFactory = [] { return createPlatformHidManager(); };
    resetLinkGlobals();
}

std::shared_ptr<sim::PedalSimulator> EditorHarness::plugIn (DeviceKind kind)
{
    auto pedal = sim::PedalSimulator::create (kind);
    plugIn (pedal);
    return pedal;
}

void EditorHarness::plugIn (const std::shared_ptr<sim::PedalSimulator>& device)
{
    bus.plug (device);
    pumpPending();
}

void EditorHarness::unplug (const std::shared_ptr<sim::PedalSimulator>& device)
{
    bus.unplug (device);
    pumpPending();
}
} // namespace tessel::test
