#include "support/PedalSimulator.h"

#include <algorithm>

#include "app/FirmwareUpdate.h"
#include "pages/AlgorithmCatalog.h"

namespace tessel::sim
{
namespace
{
int cabRecordByteOf (uint8_t command)
{
    switch (command)
    {
        case Command::setMicrophone:    return 8;
        case Command::setPowerAmp:      return 9;
        case Command::setPowerAmpLevel: return 10;
        case Command::setCabLevel:      return 11;
        default:                        return -1;
    }
}

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
    // The pedal's names are the catalogue's, so the two can never drift apart.
    switch (kind)
    {
        case kindAMP: names = ::algorithmNames ("AMP"); break;
        case kindMOD: names = ::algorithmNames ("MOD"); break;
        case kindDLY: names = ::algorithmNames ("DLY"); break;
        default: break;
    }

    if (kind != kindNone)
        setPatches (defaultPatchCount);
}

int PedalSimulator::recordSizeFor (DeviceKind kind)
{
    switch (kind)
    {
        case kindAMP: return 10;
        case kindMOD:
        case kindDLY: return 14;
        case kindCAB: return 12;
        case kindNone: break;
    }
    return 0;
}

int PedalSimulator::algorithmByte() const
{
    return pedalKind == kindCAB ? 7 : 9;
}

int PedalSimulator::knobCount() const
{
    // The CAB pedal's byte after its four knobs is the IR.
    return pedalKind == kindCAB ? 4 : 5;
}

int PedalSimulator::cabSimulationByte() const
{
    return pedalKind == kindAMP ? 8 : -1;
}

void PedalSimulator::setPatches (int count)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    const auto size = recordSizeFor (pedalKind) - 3;
    const auto nameCount = std::max (1, names.size());

    patches.clear();
    for (int p = 0; p < count; ++p)
    {
        Parameters parameters ((size_t) size, 0);
        for (int k = 0; k < 5 && k < size; ++k)
            parameters[(size_t) k] = (uint8_t) ((p * 7 + k * 13 + 5) % 100);

        switch (pedalKind)
        {
            case kindAMP:
                parameters[5] = (uint8_t) (p % 3 == 0 ? 1 : 0);  // cabinet simulation, 1 = off
                parameters[6] = (uint8_t) (p % nameCount);
                break;
            case kindMOD:
            case kindDLY:
                parameters[5] = (uint8_t) (p % 2);               // trail
                parameters[6] = (uint8_t) (p % nameCount);
                parameters[7] = (uint8_t) (p % 2);               // input mode
                parameters[8] = (uint8_t) (p % 4);               // expression target
                parameters[9] = (uint8_t) (p % 20);              // range minimum
                parameters[10] = (uint8_t) (80 + p % 21);        // range maximum
                break;
            case kindCAB:
                parameters[4] = (uint8_t) (p % 100);             // IR
                parameters[5] = (uint8_t) (p % 12);              // microphone
                parameters[6] = (uint8_t) (p % 9);               // power amp
                parameters[7] = (uint8_t) (p % 10);
                parameters[8] = (uint8_t) ((p + 3) % 10);
                break;
            case kindNone:
                break;
        }
        patches.push_back (parameters);
    }
    current = 0;
}

void PedalSimulator::setAlgorithmNames (const juce::StringArray& newNames)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    names = newNames;
}

void PedalSimulator::setReportedNameCount (int count)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    reportedNameCount = count;
}

std::vector<uint8_t> PedalSimulator::recordOf (int patch) const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    const bool valid = patch >= 0 && patch < (int) patches.size();
    std::vector<uint8_t> record (valid ? 3 + patches[(size_t) patch].size() : 3, 0);
    record[0] = (uint8_t) patches.size();
    record[1] = (uint8_t) current;
    record[2] = (uint8_t) patch;
    if (valid)
        std::copy (patches[(size_t) patch].begin(), patches[(size_t) patch].end(), record.begin() + 3);
    return record;
}

PedalSimulator::Parameters PedalSimulator::parametersOf (int patch) const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return patches.at ((size_t) patch);
}

int PedalSimulator::patchCount() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return (int) patches.size();
}

int PedalSimulator::currentPatch() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return current;
}

int PedalSimulator::bypassState() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return bypass;
}

juce::StringArray PedalSimulator::algorithmNames() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return names;
}

void PedalSimulator::turnKnob (int knob, int value)
{
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        if (current < (int) patches.size() && knob >= 0 && knob < knobCount())
            patches[(size_t) current][(size_t) knob] = (uint8_t) value;
    }
    sendReport (HidPacket::command (Reply::knob, { knob, value }));
}

void PedalSimulator::selectPatchOnPedal (int patch)
{
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        current = patch;
    }
    sendReport (HidPacket::command (Reply::patch, { patch }));
}

void PedalSimulator::selectAlgorithmOnPedal (int algorithm)
{
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        if (current < (int) patches.size())
            patches[(size_t) current][(size_t) (algorithmByte() - 3)] = (uint8_t) algorithm;
    }
    sendReport (HidPacket::command (Reply::algorithm, { algorithm }));
}

void PedalSimulator::setBypassOnPedal (int state)
{
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        bypass = state;
    }
    sendReport (HidPacket::command (Reply::bypass, { state }));
}

void PedalSimulator::setCabSimulationOnPedal (int state)
{
    changeOnPedal (cabSimulationByte(), state, Reply::cabSimulation);
}

void PedalSimulator::setParameter (int recordByte, int value)
{
    // Callers hold the state lock.
    if (recordByte >= 3 && current >= 0 && current < (int) patches.size()
        && recordByte - 3 < (int) patches[(size_t) current].size())
        patches[(size_t) current][(size_t) (recordByte - 3)] = (uint8_t) value;
}

void PedalSimulator::changeOnPedal (int recordByte, int value, uint8_t reply)
{
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        setParameter (recordByte, value);
    }
    sendReport (HidPacket::command (reply, { value }));
}

void PedalSimulator::setTrailOnPedal (int state)          { changeOnPedal (8, state, Reply::trail); }
void PedalSimulator::setInputModeOnPedal (int mode)       { changeOnPedal (10, mode, Reply::inputMode); }
void PedalSimulator::setExpressionTargetOnPedal (int target) { changeOnPedal (11, target, Reply::expressionTarget); }

// The CAB record: microphone in byte 8, power amp in 9, presence in 10, room in 11.
void PedalSimulator::setMicrophoneOnPedal (int microphone) { changeOnPedal (8, microphone, Reply::microphone); }
void PedalSimulator::setPowerAmpOnPedal (int type)        { changeOnPedal (9, type, Reply::powerAmp); }
void PedalSimulator::setPresenceOnPedal (int level)       { changeOnPedal (10, level, Reply::powerAmpLevel); }
void PedalSimulator::setRoomLevelOnPedal (int level)      { changeOnPedal (11, level, Reply::cabLevel); }

void PedalSimulator::setExpressionRangeOnPedal (int minimum, int maximum)
{
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        setParameter (12, minimum);
        setParameter (13, maximum);
    }
    sendReport (HidPacket::command (Reply::expressionRange, { minimum, maximum }));
}

void PedalSimulator::setTapTempoSyncOnPedal (bool on)
{
    setTapTempoSync (on);
    sendReport (HidPacket::command (Reply::tapTempo, { on ? 1 : 0 }));
}

void PedalSimulator::setDivisionOnPedal (int newDivision)
{
    setDivision (newDivision);
    sendReport (HidPacket::command (Reply::division, { newDivision }));
}

bool PedalSimulator::tapTempoSync() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return sync;
}

int PedalSimulator::division() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return divisionIndex;
}

int PedalSimulator::maxDelayMilliseconds() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return maxDelay;
}

void PedalSimulator::setTapTempoSync (bool on)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    sync = on;
}

void PedalSimulator::setDivision (int newDivision)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    divisionIndex = newDivision;
}

void PedalSimulator::setMaxDelayMilliseconds (int milliseconds)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    maxDelay = milliseconds;
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

        const auto strayRecord = presetReport (0);
        handleCommand (frame, answers);
        unplugNow = applyFault (frame.code(), answers, strayRecord);
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

bool PedalSimulator::applyFault (uint8_t command, std::vector<HidPacket>& answers, const HidPacket& strayRecord)
{
    auto it = std::find_if (faults.begin(), faults.end(), [command] (const PendingFault& f)
                            { return f.command < 0 || f.command == command; });
    if (it == faults.end())
        return false;

    if (it->skip > 0)
    {
        --it->skip;
        return false;
    }

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
        case Fault::strayRecord:
            answers.insert (answers.begin(), strayRecord);
            break;
    }
    return false;
}

void PedalSimulator::handleCommand (const HidPacket& command, std::vector<HidPacket>& answers)
{
    if (isUpdateModeDevice())
    {
        handleUpdateModeCommand (command, answers);
        return;
    }

    const int arg0 = command[2];
    const int arg1 = command[3];
    const auto patchIsValid = [this] (int p) { return p >= 0 && p < (int) patches.size(); };

    switch (command.code())
    {
        case Command::identify:
        {
            const auto* code = modelCodeFor (pedalKind);
            answers.push_back (HidPacket::command (Reply::identity,
                                                   { code[0], code[1], code[2], code[3], code[4] }));
            break;
        }

        case Command::getAlgorithmName:
        {
            if (pedalKind == kindNone || pedalKind == kindCAB)
                break;

            const auto count = reportedNameCount >= 0 ? reportedNameCount : names.size();
            const auto name = names[arg0].toStdString();
            const auto length = std::min<size_t> (name.size(), HidPacket::maxPayload - 2);

            HidPacket reply;
            reply.bytes[0] = Reply::algorithmName;
            reply.bytes[1] = (uint8_t) (length + 2);
            reply.bytes[2] = (uint8_t) count;
            reply.bytes[3] = (uint8_t) arg0;
            std::copy_n (name.begin(), length, reply.bytes.begin() + 4);
            reply.seal();
            answers.push_back (reply);
            break;
        }

        case Command::transferState:
            if (pedalKind != kindNone)
            {
                inTransfer = arg0 == 1;
                answers.push_back (HidPacket::command (Reply::transferState, { arg0 }));
            }
            break;

        case Command::requestPreset:
            if (patchIsValid (arg0))
                answers.push_back (presetReport (arg0));
            break;

        case Command::setKnob:
            if (patchIsValid (current) && arg0 >= 0 && arg0 < knobCount())
                patches[(size_t) current][(size_t) arg0] = (uint8_t) arg1;
            break;

        case Command::selectPatch:
            if (patchIsValid (arg0))
                current = arg0;
            break;

        case Command::selectAlgorithm:
            if (patchIsValid (current))
                patches[(size_t) current][(size_t) (algorithmByte() - 3)] = (uint8_t) arg0;
            break;

        case Command::setBypass:
            bypass = arg0;
            break;

        case Command::getBypass:
            answers.push_back (HidPacket::command (Reply::bypass, { bypass }));
            break;

        case Command::setCabSimulation:
            // The record keeps 1 for off, the command says 1 for on.
            if (cabSimulationByte() > 0 && patchIsValid (current))
                patches[(size_t) current][(size_t) (cabSimulationByte() - 3)] = (uint8_t) (arg0 == 1 ? 0 : 1);
            break;

        case Command::writePreset:
        {
            const int target = arg0;
            const int count = command.length() - 1;
            if (! patchIsValid (target) || count != recordSizeFor (pedalKind) - 3)
                break;

            for (int i = 0; i < count; ++i)
                patches[(size_t) target][(size_t) i] = command[3 + i];

            // During a transfer the pedal confirms each written patch with its record.
            if (inTransfer)
                answers.push_back (presetReport (target));
            break;
        }

        case Command::save:
            answers.push_back (HidPacket::command (Reply::saveComplete));
            break;

        case Command::getTapTempo:
            if (pedalKind == kindMOD || pedalKind == kindDLY)
                answers.push_back (HidPacket::command (Reply::tapTempo, { sync ? 1 : 0 }));
            break;

        case Command::getDivision:
            if (pedalKind == kindMOD || pedalKind == kindDLY)
                answers.push_back (HidPacket::command (Reply::division, { divisionIndex }));
            break;

        case Command::setDivision:
            divisionIndex = arg0;
            break;

        case Command::getMaxDelay:
            if (pedalKind == kindDLY)
                answers.push_back (HidPacket::command (Reply::maxDelay, { maxDelay / 100, maxDelay % 100 }));
            break;

        case Command::setMaxDelay:
            if (pedalKind == kindDLY)
                maxDelay = arg0 * 100;
            break;

        case Command::setTrail:
            if (pedalKind == kindDLY)
                setParameter (8, arg0);
            break;

        case Command::setInputMode:
            setParameter (10, arg0);
            break;

        case Command::setExpressionTarget:
            setParameter (11, arg0);
            break;

        case Command::setExpressionRange:
            setParameter (12, arg0);
            setParameter (13, arg1);
            break;

        case Command::setMicrophone:
        case Command::setPowerAmp:
        case Command::setPowerAmpLevel:
        case Command::setCabLevel:
            if (pedalKind == kindCAB)
                setParameter (cabRecordByteOf (command.code()), arg0);
            break;

        case Command::irIndexRead:
            // The pedal rereads its IR index from its volume; it answers nothing.
            break;

        case Command::factoryReset:
            answers.push_back (HidPacket::command (Reply::factoryReset));
            break;

        case Command::flashWrite:
            writeExternalFlash (command, answers);
            break;

        case Command::flashErase:
            // The whole external flash reads 0xFF afterwards.
            if (pedalKind == kindCAB)
            {
                external.clear();
                answers.push_back (HidPacket::command (Reply::flashErased));
            }
            break;

        default:
            break;
    }
}

HidPacket PedalSimulator::presetReport (int patch) const
{
    // Callers hold the state lock.
    HidPacket reply;
    if (patch < 0 || patch >= (int) patches.size())
        return reply;

    reply.bytes[0] = Reply::presetRecord;
    reply.bytes[1] = (uint8_t) recordSizeFor (pedalKind);
    reply.bytes[2] = (uint8_t) patches.size();
    reply.bytes[3] = (uint8_t) current;
    reply.bytes[4] = (uint8_t) patch;
    std::copy (patches[(size_t) patch].begin(), patches[(size_t) patch].end(), reply.bytes.begin() + 5);
    reply.seal();
    return reply;
}

std::vector<HidPacket> PedalSimulator::receivedFrames() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return received;
}

std::vector<HidPacket> PedalSimulator::takeReceivedFrames()
{
    const std::lock_guard<std::mutex> guard (stateLock);
    std::vector<HidPacket> frames;
    frames.swap (received);
    return frames;
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

void PedalSimulator::injectFault (Fault fault, int command, int skip)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    faults.push_back ({ fault, command, skip });
}

//==============================================================================
namespace
{
// The update mode's own copy of its access texts; the host has to send
// exactly these, each with its NUL, behind their announced size.
constexpr char updateAccessTextA[] = "TESSEL UPDATE ACCESS KEY A";
constexpr char updateAccessTextB[] = "KORVEL PROGRAM FLASH UNLOCKED";

uint32_t addressIn (const HidPacket& frame)
{
    return (uint32_t) frame[2] | ((uint32_t) frame[3] << 8) | ((uint32_t) frame[4] << 16) | ((uint32_t) frame[5] << 24);
}

bool holdsText (const HidPacket& frame, int offset, const char* text, size_t sizeWithNul)
{
    return std::equal (text, text + sizeWithNul, frame.data() + offset,
                       [] (char a, uint8_t b) { return (uint8_t) a == b; });
}

bool isValidHandshake (const HidPacket& frame)
{
    constexpr auto sizeA = sizeof (updateAccessTextA);
    constexpr auto sizeB = sizeof (updateAccessTextB);

    return frame.length() == 1 + sizeA + sizeB
        && frame[2] == sizeA
        && holdsText (frame, 3, updateAccessTextA, sizeA)
        && holdsText (frame, 3 + (int) sizeA, updateAccessTextB, sizeB);
}

/** Writes into a flash that was erased to 0xFF: growing it as needed, and, as
    flash does, only ever clearing bits, so a block written twice without an
    erase in between shows up garbled. */
void programBytes (std::vector<uint8_t>& flash, size_t offset, const uint8_t* data, size_t count)
{
    if (flash.size() < offset + count)
        flash.resize (offset + count, 0xff);

    for (size_t i = 0; i < count; ++i)
        flash[offset + i] &= data[i];
}
} // namespace

bool PedalSimulator::isUpdateModeDevice() const noexcept
{
    return usb.vendorId == Usb::updateModeVendorId && usb.productId == Usb::updateModeProductId;
}

void PedalSimulator::handleUpdateModeCommand (const HidPacket& command, std::vector<HidPacket>& answers)
{
    // Callers hold the state lock. Whatever comes out of order (an erase
    // before the handshake, a block before the erase) goes unanswered.
    switch (command.code())
    {
        case UpdateMode::handshake:
            if (! isValidHandshake (command))
                break;

            handshakeAccepted = true;
            programErased = false;
            answers.push_back (HidPacket::command (UpdateMode::handshakeAccepted));
            break;

        case UpdateMode::erase:
        {
            if (! handshakeAccepted)
                break;

            const auto count = command[6] | (command[7] << 8);
            const bool ok = ! eraseFails && command.length() == 6
                            && addressIn (command) == UpdateMode::programStart && count == UpdateMode::eraseCount;
            if (ok)
            {
                program.clear();
                programErased = true;
                ++eraseCount;
            }

            answers.push_back (HidPacket::command (ok ? UpdateMode::erased : UpdateMode::eraseFailed));
            break;
        }

        case UpdateMode::writeBlock:
        {
            const auto address = addressIn (command);
            if (! programErased || command.length() != 4 + UpdateMode::blockSize || address < UpdateMode::programStart)
                break;

            const auto offset = (size_t) (address - UpdateMode::programStart);
            if (offset + UpdateMode::blockSize > UpdateMode::maxProgramSize)
                break;

            programBytes (program, offset, command.data() + 6, UpdateMode::blockSize);
            answers.push_back (HidPacket::command (UpdateMode::blockWritten));
            break;
        }

        default:
            break;
    }
}

std::vector<uint8_t> PedalSimulator::programFlash() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return program;
}

void PedalSimulator::setProgramFlash (std::vector<uint8_t> contents)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    program = std::move (contents);
}

void PedalSimulator::setEraseFails (bool fails)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    eraseFails = fails;
}

int PedalSimulator::programEraseCount() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return eraseCount;
}

void PedalSimulator::writeExternalFlash (const HidPacket& command, std::vector<HidPacket>& answers)
{
    // Callers hold the state lock. Only the CAB pedal carries the volume's flash.
    constexpr int addressBytes = 4;
    const int count = command.length() - addressBytes;

    if (pedalKind != kindCAB || count < 1 || count > HidPacket::maxPayload - addressBytes)
        return;

    programBytes (external, addressIn (command), command.data() + HidPacket::payloadOffset + addressBytes,
                  (size_t) count);
    ++externalWrites;
    answers.push_back (HidPacket::command (Reply::flashWritten));
}

std::vector<uint8_t> PedalSimulator::externalFlash() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return external;
}

void PedalSimulator::setExternalFlash (std::vector<uint8_t> contents)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    external = std::move (contents);
}

int PedalSimulator::externalFlashWriteCount() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return externalWrites;
}
} // namespace tessel::sim
