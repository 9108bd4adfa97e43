#include "support/PedalSimulator.h"

#include "pagekit/FirmwareUpdate.h"
#include "pagekit/AlgorithmCatalog.h"

namespace tessel::sim
{
namespace
{
// Of the product ids only the CAB pedal's matters, to the transfer jobs.
struct KindFacts
{
    const char* product;
    int productId;
    const char *modelCode, *catalogueSection;
    int recordSize;
};

const KindFacts& factsOf (DeviceKind kind)
{
    static const KindFacts facts[] = {
        { "", 0, "?????", "", 0 },
        { "KORVEL TESSEL AMP", 3, "VQA-2", "AMP", 10 },
        { "KORVEL TESSEL MOD", 4, "VQM-2", "MOD", 14 },
        { "KORVEL TESSEL DLY", 5, "VQD-2", "DLY", 14 },
        { "KORVEL TESSEL CAB", Usb::cabProductId, "VQC-2", "", 12 },
    };
    return facts[(size_t) kind];
}

// The update mode's own copy of its access texts; the host has to send
// exactly these, each with its NUL, behind the first one's size.
constexpr char updateAccessTextA[] = "TESSEL UPDATE ACCESS KEY A";
constexpr char updateAccessTextB[] = "KORVEL PROGRAM FLASH UNLOCKED";

std::atomic<int> simulatedDevices { 0 };

uint32_t addressIn (const HidPacket& frame)
{
    return juce::ByteOrder::littleEndianInt (frame.data() + 2);
}

bool isValidHandshake (const HidPacket& frame)
{
    constexpr auto sizeA = sizeof (updateAccessTextA), sizeB = sizeof (updateAccessTextB);
    const auto* text = reinterpret_cast<const char*> (frame.data() + 3);
    return frame.length() == 1 + sizeA + sizeB && frame[2] == sizeA
        && std::equal (updateAccessTextA, updateAccessTextA + sizeA, text)
        && std::equal (updateAccessTextB, updateAccessTextB + sizeB, text + sizeA);
}

HidPacket packet (uint8_t code, const std::vector<uint8_t>& payload)
{
    HidPacket p;
    p.bytes[0] = code;
    p.bytes[1] = (uint8_t) payload.size();
    std::copy (payload.begin(), payload.end(), p.bytes.begin() + HidPacket::payloadOffset);
    p.seal();
    return p;
}

/** Writes into a flash erased to 0xFF, growing it as needed and, as flash
    does, only ever clearing bits: a block written twice shows up garbled. */
void programBytes (std::vector<uint8_t>& flash, size_t offset, const uint8_t* data, size_t count)
{
    if (flash.size() < offset + count)
        flash.resize (offset + count, 0xff);

    for (size_t i = 0; i < count; ++i)
        flash[offset + i] &= data[i];
}
} // namespace

std::shared_ptr<PedalSimulator> PedalSimulator::create (DeviceKind kind)
{
    // Each pedal plugged in is a USB device of its own.
    static std::atomic<int> pluggedSoFar { 0 };

    UsbIdentity identity { Usb::korvelVendorId, factsOf (kind).productId, Usb::manufacturer, factsOf (kind).product };
    identity.usbDevice = "/sys/devices/simulated/usb1/1-" + juce::String (++pluggedSoFar);
    return std::make_shared<PedalSimulator> (kind, std::move (identity));
}

std::shared_ptr<PedalSimulator> PedalSimulator::createUpdateModeDevice (const juce::String& product)
{
    return std::make_shared<PedalSimulator> (
        kindNone, UsbIdentity { Usb::updateModeVendorId, Usb::updateModeProductId, Usb::manufacturer, product });
}

PedalSimulator::PedalSimulator (DeviceKind k, UsbIdentity identity)
    : kind (k),
      usb (std::move (identity)),
      path ("/dev/hidraw-sim" + juce::String (++simulatedDevices))
{
    // The pedal's names are the catalogue's, so the two can never drift apart.
    names = ::algorithmNames (factsOf (kind).catalogueSection);
    if (kind != kindNone)
        setPatches (defaultPatchCount);
}

void PedalSimulator::setPatches (int count)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    const auto nameCount = std::max (1, names.size());
    patches.assign ((size_t) count, Parameters ((size_t) factsOf (kind).recordSize - 3, 0));

    for (int p = 0; p < count; ++p)
    {
        auto& parameters = patches[(size_t) p];
        for (int k = 0; k < 5 && k < (int) parameters.size(); ++k)
            parameters[(size_t) k] = (uint8_t) ((p * 7 + k * 13 + 5) % 100);

        // Record bytes 8 on: AMP cabinet simulation (1 = off) and algorithm;
        // MOD and DLY trail, algorithm, input mode, expression target and
        // range; CAB IR, microphone, power amp and two more.
        const std::vector<int> rest = kind == kindAMP ? std::vector<int> { p % 3 == 0 ? 1 : 0, p % nameCount }
            : kind == kindCAB ? std::vector<int> { p % 100, p % 12, p % 9, p % 10, (p + 3) % 10 }
                              : std::vector<int> { p % 2, p % nameCount, p % 2, p % 4, p % 20, 80 + p % 21 };
        const size_t first = kind == kindCAB ? 4 : 5;
        for (size_t i = 0; i < rest.size() && first + i < parameters.size(); ++i)
            parameters[first + i] = (uint8_t) rest[i];
    }
    current = 0;
}

std::vector<uint8_t> PedalSimulator::record (int patch) const
{
    // Callers hold the state lock.
    auto record = patch >= 0 && patch < (int) patches.size() ? patches[(size_t) patch] : Parameters();
    record.insert (record.begin(), { (uint8_t) patches.size(), (uint8_t) current, (uint8_t) patch });
    return record;
}

void PedalSimulator::setParameter (int recordByte, int value)
{
    // Callers hold the state lock.
    if (recordByte >= 3 && current >= 0 && current < (int) patches.size()
        && recordByte - 3 < (int) patches[(size_t) current].size())
        patches[(size_t) current][(size_t) (recordByte - 3)] = (uint8_t) value;
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
        if (onAnswers)
            onAnswers (frame, answers);
        unplugNow = applyFault (frame.code(), answers, strayRecord);
    }

    if (unplugNow && onUnplugRequested)
        onUnplugRequested();

    for (auto& answer : answers)
        sendReport (answer);
}

bool PedalSimulator::applyFault (uint8_t command, std::vector<HidPacket>& answers, const HidPacket& strayRecord)
{
    auto it = std::find_if (faults.begin(), faults.end(),
                            [command] (const PendingFault& f) { return f.command < 0 || f.command == command; });
    if (it == faults.end() || it->skip-- > 0)
        return false;

    const auto fault = it->fault;
    faults.erase (it);

    for (auto& answer : answers)
    {
        answer.bytes[0] = fault == Fault::wrongCode ? (uint8_t) 0x7E : answer.bytes[0];
        answer.seal();
        answer.bytes[HidPacket::checksumOffset] ^= fault == Fault::badChecksum ? 0x01 : 0x00;
    }

    if (fault == Fault::noAnswer || fault == Fault::unplug)
        answers.clear();
    if (fault == Fault::strayRecord)
        answers.insert (answers.begin(), strayRecord);

    return fault == Fault::unplug;
}

void PedalSimulator::handleCommand (const HidPacket& command, std::vector<HidPacket>& answers)
{
    if (kind == kindNone)
    {
        handleUpdateModeCommand (command, answers);
        return;
    }

    const int arg0 = command[2], arg1 = command[3], code = command.code();
    const bool effect = kind == kindMOD || kind == kindDLY;
    const auto answer = [&answers] (uint8_t reply, std::initializer_list<int> payload = {})
    { answers.push_back (HidPacket::command (reply, payload)); };

    // Commands that set one record byte of the current patch: the byte, and whether this kind has it.
    const std::map<int, std::pair<int, bool>> settings {
        { Command::setKnob, { 3 + arg0, arg0 < knobCount() } },
        { Command::selectAlgorithm, { algorithmByte(), true } },
        // The record keeps 1 for off, the command says 1 for on.
        { Command::setCabSimulation, { 8, kind == kindAMP } },
        { Command::setTrail, { 8, kind == kindDLY } },
        { Command::setInputMode, { 10, true } },
        { Command::setExpressionTarget, { 11, true } },
        { Command::setExpressionRange, { 12, true } },
        { Command::setMicrophone, { 8, kind == kindCAB } },
        { Command::setPowerAmp, { 9, kind == kindCAB } },
        { Command::setPowerAmpLevel, { 10, kind == kindCAB } },
        { Command::setCabLevel, { 11, kind == kindCAB } },
    };

    if (auto setting = settings.find (code); setting != settings.end())
    {
        if (setting->second.second)
            setParameter (setting->second.first,
                          code == Command::setKnob                ? arg1
                              : code == Command::setCabSimulation ? (arg0 == 1 ? 0 : 1)
                                                                  : arg0);
        if (code == Command::setExpressionRange)
            setParameter (13, arg1);
        return;
    }

    switch (code)
    {
        case Command::identify:
            answers.push_back (packet (Reply::identity, { factsOf (kind).modelCode, factsOf (kind).modelCode + 5 }));
            break;

        case Command::getAlgorithmName:
        {
            if (kind == kindCAB)
                break;

            const auto name = names[arg0].toStdString().substr (0, HidPacket::maxPayload - 2);
            std::vector<uint8_t> payload { (uint8_t) (reportedNameCount >= 0 ? reportedNameCount : names.size()),
                                           (uint8_t) arg0 };
            payload.insert (payload.end(), name.begin(), name.end());
            answers.push_back (packet (Reply::algorithmName, payload));
            break;
        }

        case Command::requestPreset:
            if (arg0 < (int) patches.size())
                answers.push_back (presetReport (arg0));
            break;

        case Command::writePreset:
            if (arg0 >= (int) patches.size() || command.length() - 1 != factsOf (kind).recordSize - 3)
                break;

            std::copy_n (command.data() + 3, command.length() - 1, patches[(size_t) arg0].begin());
            // During a transfer the pedal confirms each written patch with its record.
            if (inTransfer)
                answers.push_back (presetReport (arg0));
            break;

        case Command::flashWrite:
        {
            // Only the CAB pedal carries the volume's flash.
            const int count = command.length() - 4;
            if (kind != kindCAB || count < 1 || count > HidPacket::maxPayload - 4)
                break;

            programBytes (external, addressIn (command), command.data() + HidPacket::payloadOffset + 4, (size_t) count);
            ++externalWrites;
            answer (Reply::flashWritten);
            break;
        }

        case Command::flashErase:
            // The whole external flash reads 0xFF afterwards.
            external.clear();
            answers.resize (kind == kindCAB ? 1 : 0, HidPacket::command (Reply::flashErased));
            break;

        case Command::selectPatch:
            current = arg0 < (int) patches.size() ? arg0 : current;
            break;
        case Command::setBypass:
            bypass = arg0;
            break;
        case Command::setDivision:
            divisionIndex = arg0;
            break;
        case Command::setMaxDelay:
            maxDelay = kind == kindDLY ? arg0 * 100 : maxDelay;
            break;
        case Command::transferState:
            inTransfer = arg0 == 1;
            answer (Reply::transferState, { arg0 });
            break;
        case Command::getBypass:
            answer (Reply::bypass, { bypass });
            break;
        case Command::save:
            answer (Reply::saveComplete);
            break;
        case Command::factoryReset:
            answer (Reply::factoryReset);
            break;
        // Only the MOD and DLY pedals answer these, and only the DLY pedal the maximum delay time.
        case Command::getTapTempo:
            answers.resize (effect ? 1 : 0, HidPacket::command (Reply::tapTempo, { sync ? 1 : 0 }));
            break;
        case Command::getDivision:
            answers.resize (effect ? 1 : 0, HidPacket::command (Reply::division, { divisionIndex }));
            break;
        case Command::getMaxDelay:
            answers.resize (kind == kindDLY ? 1 : 0,
                            HidPacket::command (Reply::maxDelay, { maxDelay / 100, maxDelay % 100 }));
            break;
        default:
            break;
    }
}

HidPacket PedalSimulator::presetReport (int patch) const
{
    return patch >= 0 && patch < (int) patches.size() ? packet (Reply::presetRecord, record (patch)) : HidPacket();
}

void PedalSimulator::handleUpdateModeCommand (const HidPacket& command, std::vector<HidPacket>& answers)
{
    // Whatever comes out of order (an erase before the handshake, a block before the erase) goes unanswered.
    const auto code = command.code();
    const auto address = addressIn (command);
    if (code == UpdateMode::handshake && isValidHandshake (command))
    {
        handshakeAccepted = true;
        programErased = false;
        answers.push_back (HidPacket::command (UpdateMode::handshakeAccepted));
    }
    else if (code == UpdateMode::erase && handshakeAccepted)
    {
        const bool ok = ! eraseFails && command.length() == 6 && address == UpdateMode::programStart
            && (command[6] | (command[7] << 8)) == UpdateMode::eraseCount;
        if (ok)
            program.clear();
        programErased = programErased || ok;
        answers.push_back (HidPacket::command (ok ? UpdateMode::erased : UpdateMode::eraseFailed));
    }
    else if (code == UpdateMode::writeBlock && programErased && command.length() == 4 + UpdateMode::blockSize
             && address >= UpdateMode::programStart
             && address - UpdateMode::programStart + UpdateMode::blockSize <= UpdateMode::maxProgramSize)
    {
        programBytes (program, address - UpdateMode::programStart, command.data() + 6, UpdateMode::blockSize);
        answers.push_back (HidPacket::command (UpdateMode::blockWritten));
    }
}
} // namespace tessel::sim
