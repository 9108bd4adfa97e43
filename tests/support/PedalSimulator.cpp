#include "support/PedalSimulator.h"

#include <algorithm>

namespace tessel::sim
{
namespace
{
juce::String productNameFor (DeviceKind kind)
{
    switch (kind)
    {
        case kindAMP: return "KORVEL TESSEL AMP";
        case kindMOD: return "KORVEL TESSEL MOD";
        case kindDLY: return "KORVEL TESSEL DLY";
        case kindCAB: return "KORVEL TESSEL CAB";
        case kindNone: break;
    }
    return {};
}

int productIdFor (DeviceKind kind)
{
    // Product IDs don't tell the kinds apart on the host; only the CAB
    // pedal's (6) matters, to the transfer jobs.
    switch (kind)
    {
        case kindAMP: return 3;
        case kindMOD: return 4;
        case kindDLY: return 5;
        case kindCAB: return Usb::cabProductId;
        case kindNone: break;
    }
    return 0;
}
} // namespace

std::shared_ptr<PedalSimulator> PedalSimulator::create (DeviceKind kind)
{
    UsbIdentity usb;
    usb.vendorId = Usb::korvelVendorId;
    usb.productId = productIdFor (kind);
    usb.manufacturer = Usb::manufacturer;
    usb.product = productNameFor (kind);
    return std::make_shared<PedalSimulator> (kind, usb);
}

std::shared_ptr<PedalSimulator> PedalSimulator::createUpdateModeDevice (const juce::String& product)
{
    UsbIdentity usb;
    usb.vendorId = Usb::updateModeVendorId;
    usb.productId = Usb::updateModeProductId;
    usb.manufacturer = Usb::manufacturer;
    usb.product = product;
    return std::make_shared<PedalSimulator> (kindNone, usb);
}

PedalSimulator::PedalSimulator (DeviceKind kind, UsbIdentity identity)
    : pedalKind (kind), usb (std::move (identity))
{
}

const char* PedalSimulator::modelCodeFor (DeviceKind kind)
{
    switch (kind)
    {
        case kindAMP: return "VQA-2";
        case kindMOD: return "VQM-2";
        case kindDLY: return "VQD-2";
        case kindCAB: return "VQC-2";
        case kindNone: break;
    }
    return "?????";
}

void PedalSimulator::receive (const uint8_t* data, long length)
{
    HidPacket frame;
    std::copy (data, data + std::min<long> (length, HidPacket::size), frame.bytes.begin());

    std::vector<HidPacket> answers;
    bool unplugNow = false;
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        received.push_back (frame);

        // A frame with a bad sum is dropped by the pedal, as the host does.
        if (! frame.hasValidChecksum())
            return;

        handleCommand (frame, answers);
        unplugNow = applyFault (frame.code(), answers);
    }

    if (unplugNow)
    {
        if (onUnplugRequested)
            onUnplugRequested();
        return;
    }

    for (auto& answer : answers)
        deliver (answer);
}

bool PedalSimulator::applyFault (uint8_t command, std::vector<HidPacket>& answers)
{
    auto it = std::find_if (faults.begin(), faults.end(), [command] (const PendingFault& f)
                            { return f.command < 0 || f.command == command; });
    if (it == faults.end())
        return false;

    const auto fault = it->fault;
    faults.erase (it);

    switch (fault)
    {
        case Fault::noAnswer:
            answers.clear();
            break;
        case Fault::badChecksum:
            for (auto& answer : answers)
                answer.bytes[HidPacket::checksumOffset] ^= 0x01;
            break;
        case Fault::wrongCode:
            for (auto& answer : answers)
            {
                answer.bytes[0] = 0x7E;
                answer.seal();
            }
            break;
        case Fault::unplug:
            answers.clear();
            return true;
    }
    return false;
}

void PedalSimulator::handleCommand (const HidPacket& command, std::vector<HidPacket>& answers)
{
    switch (command.code())
    {
        case Command::identify:
        {
            const auto* code = modelCodeFor (pedalKind);
            answers.push_back (HidPacket::command (Reply::identity,
                                                   { code[0], code[1], code[2], code[3], code[4] }));
            break;
        }

        default:
            break;
    }
}

std::vector<HidPacket> PedalSimulator::receivedFrames() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return received;
}

void PedalSimulator::clearReceivedFrames()
{
    const std::lock_guard<std::mutex> guard (stateLock);
    received.clear();
}

void PedalSimulator::sendReport (const HidPacket& report)
{
    deliver (report);
}

void PedalSimulator::deliver (HidPacket report)
{
    const std::lock_guard<std::mutex> guard (sinkLock);
    for (auto* sink : sinks)
        sink->deliverReport (report);
}

void PedalSimulator::attachSink (ReportSink* sink)
{
    const std::lock_guard<std::mutex> guard (sinkLock);
    sinks.push_back (sink);
}

void PedalSimulator::detachSink (ReportSink* sink)
{
    const std::lock_guard<std::mutex> guard (sinkLock);
    sinks.erase (std::remove (sinks.begin(), sinks.end(), sink), sinks.end());
}

void PedalSimulator::injectFault (Fault fault, int command)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    faults.push_back ({ fault, command });
}
} // namespace tessel::sim
