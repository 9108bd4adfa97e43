#pragma once

#include <juce_core/juce_core.h>

#include "device/HidPacket.h"
#include "device/ProtocolCodes.h"

namespace tessel::sim
{
/** What the USB bus sees of a device. */
struct UsbIdentity
{
    int vendorId = 0, productId = 0;
    juce::String manufacturer, product;
    bool accessible = true; // false: seen, but this user may not open it (no udev rule)

    // The USB device it hangs from, as the HID layer gives it (HidDevice::usbDeviceKey);
    // a CAB pedal's simulated volume gives the same. Empty: not known.
    juce::String usbDevice {};

    // Top-level collections in its report descriptor. hidapi's hidraw backend
    // lists the device once for each, every entry with the same path; the
    // kernel still gives it one hidraw node.
    int topLevelCollections = 1;
};

/** Something the device's reports go to: the live link's simulated device,
    or an open handle of the fake hidapi. Every open endpoint gets its own
    copy of each report, as hidraw does. */
class ReportSink
{
public:
    virtual ~ReportSink() = default;
    virtual void deliverReport (const HidPacket& report) = 0;
};

/** Observers under a lock of their own, told in the order they came. */
template <typename Observer>
class Observers
{
public:
    void add (Observer* o)
    {
        const std::lock_guard<std::recursive_mutex> guard (lock);
        list.push_back (o);
    }
    void remove (Observer* o)
    {
        const std::lock_guard<std::recursive_mutex> guard (lock);
        list.erase (std::remove (list.begin(), list.end(), o), list.end());
    }

    template <typename Call>
    void tell (Call&& call)
    {
        const std::lock_guard<std::recursive_mutex> guard (lock);
        for (auto* o : list)
            call (*o);
    }

private:
    std::recursive_mutex lock;
    std::vector<Observer*> list;
};

/** Misbehaviour on demand, applied to the next answer of the named command. */
enum class Fault
{
    noAnswer,    // the answer is never sent
    badChecksum, // the answer's checksum is off by one
    wrongCode,   // the answer carries a code the host doesn't expect
    unplug,      // the device disappears instead of answering
    strayRecord  // the record of patch 0, as it stood before the command,
                 // goes out ahead of the answer (as one the live link asked for)
};

/** A pedal of one kind, speaking the pedal's side of the protocol. It is
    thread-safe: the live link talks to it from the message thread while a
    transfer job may talk to it from a worker thread. */
class PedalSimulator
{
    template <typename Action>
    auto locked (Action&& action) const
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        return action();
    }

public:
    static std::shared_ptr<PedalSimulator> create (DeviceKind kind);
    /** A pedal restarted in its firmware-update mode. */
    static std::shared_ptr<PedalSimulator> createUpdateModeDevice (const juce::String& product = "TESSEL AMP");

    PedalSimulator (DeviceKind kind, UsbIdentity identity);

    const UsbIdentity& identity() const noexcept { return usb; }

    /** Where hidapi finds this device, as a hidraw node names it; no two
        simulated devices share one. */
    const juce::String& devicePath() const noexcept { return path; }
    DeviceKind deviceKind() const noexcept { return kind; }

    /** One output report as it arrives from the host (no report ID). */
    void receive (const uint8_t* data, long length);

    /** Every frame received so far, in order; take...() also clears them. */
    std::vector<HidPacket> receivedFrames() const
    {
        return locked ([this] { return received; });
    }
    std::vector<HidPacket> takeReceivedFrames()
    {
        return locked ([this] { return std::exchange (received, {}); });
    }
    void clearReceivedFrames() { takeReceivedFrames(); }

    /** Sends a report of the pedal's own (a knob turned on the pedal). */
    void sendReport (const HidPacket& report)
    {
        sinks.tell ([&] (ReportSink& s) { s.deliverReport (report); });
    }
    void attachSink (ReportSink* sink) { sinks.add (sink); }
    void detachSink (ReportSink* sink) { sinks.remove (sink); }

    /** An answer to `command` (any command when -1) misbehaves: the first
        one after `skip` more such commands have been answered normally.
        Faults queue up and fire one after another. */
    void injectFault (Fault fault, int command = -1, int skip = 0)
    {
        locked ([&] { faults.push_back ({ fault, command, skip }); });
    }

    /** Called when a fault asks for the device to vanish; the bus sets it. */
    std::function<void()> onUnplugRequested;

    /** When set, sees each command taken with the answers the pedal would give, under the
        pedal's lock, and may change them: the fuzz targets decide answers through it. */
    std::function<void (const HidPacket& command, std::vector<HidPacket>& answers)> onAnswers;
    static constexpr int defaultPatchCount = 12;
    /** One patch as the pedal stores it: the record bytes from 3 on. */
    using Parameters = std::vector<uint8_t>;

    /** The record the pedal would send for patch n (count, current, n, parameters). */
    std::vector<uint8_t> recordOf (int patch) const
    {
        return locked ([&] { return record (patch); });
    }
    Parameters parametersOf (int patch) const
    {
        return locked ([&] { return patches.at ((size_t) patch); });
    }
    int currentPatch() const
    {
        return locked ([this] { return current; });
    }
    juce::StringArray algorithmNames() const
    {
        return locked ([this] { return names; });
    }

    /** Gives the pedal a different set of patches, each with its own values. */
    void setPatches (int count);
    /** Number of names the pedal claims in its name replies; -1 = the real count. */
    void setReportedNameCount (int count)
    {
        locked ([&] { reportedNameCount = count; });
    }

    // Things done on the pedal itself, reported to the host.
    void turnKnob (int knob, int value)
    {
        changeOnPedal (knob >= 0 && knob < knobCount() ? 3 + knob : -1, Reply::knob, { knob, value }, { value });
    }
    void selectPatchOnPedal (int patch)
    {
        changeOnPedal (-1, Reply::patch, { patch }, {}, [=] { current = patch; });
    }
    void selectAlgorithmOnPedal (int algorithm)
    {
        changeOnPedal (algorithmByte(), Reply::algorithm, { algorithm }, { algorithm });
    }
    void setBypassOnPedal (int state)
    {
        changeOnPedal (-1, Reply::bypass, { state }, {}, [=] { bypass = state; });
    }
    void setCabSimulationOnPedal (int state) { changeOnPedal (8, Reply::cabSimulation, { state }, { state }); }
    void setTapTempoSyncOnPedal (bool on)
    {
        changeOnPedal (-1, Reply::tapTempo, { on ? 1 : 0 }, {}, [=] { sync = on; });
    }
    void setDivisionOnPedal (int division)
    {
        changeOnPedal (-1, Reply::division, { division }, {}, [=] { divisionIndex = division; });
    }
    void setExpressionTargetOnPedal (int target)
    {
        changeOnPedal (11, Reply::expressionTarget, { target }, { target });
    }
    void setExpressionRangeOnPedal (int minimum, int maximum)
    {
        changeOnPedal (12, Reply::expressionRange, { minimum, maximum }, { minimum, maximum });
    }
    void setTrailOnPedal (int state) { changeOnPedal (8, Reply::trail, { state }, { state }); }
    void setInputModeOnPedal (int mode) { changeOnPedal (10, Reply::inputMode, { mode }, { mode }); }
    // The CAB record: microphone in byte 8, power amp in 9, presence in 10, room in 11.
    void setMicrophoneOnPedal (int microphone) { changeOnPedal (8, Reply::microphone, { microphone }, { microphone }); }
    void setPowerAmpOnPedal (int type) { changeOnPedal (9, Reply::powerAmp, { type }, { type }); }
    void setPresenceOnPedal (int level) { changeOnPedal (10, Reply::powerAmpLevel, { level }, { level }); }
    void setRoomLevelOnPedal (int level) { changeOnPedal (11, Reply::cabLevel, { level }, { level }); }

    bool tapTempoSync() const
    {
        return locked ([this] { return sync; });
    }
    int maxDelayMilliseconds() const
    {
        return locked ([this] { return maxDelay; });
    }
    void setTapTempoSync (bool on)
    {
        locked ([&] { sync = on; });
    }
    void setDivision (int division)
    {
        locked ([&] { divisionIndex = division; });
    }
    void setMaxDelayMilliseconds (int ms)
    {
        locked ([&] { maxDelay = ms; });
    }

    /** The update-mode device's program flash from its start up to the last byte written since
        the last erase; bytes never written read 0xFF. */
    std::vector<uint8_t> programFlash() const
    {
        return locked ([this] { return program; });
    }

    /** What an earlier program left in the flash, for an update to replace. */
    void setProgramFlash (std::vector<uint8_t> contents)
    {
        locked ([&] { program = std::move (contents); });
    }
    void setEraseFails (bool fails)
    {
        locked ([&] { eraseFails = fails; });
    }

    /** The CAB pedal's external flash up to the last byte written, and how many writes it took. */
    std::vector<uint8_t> externalFlash() const
    {
        return locked ([this] { return external; });
    }
    void setExternalFlash (std::vector<uint8_t> contents)
    {
        locked ([&] { external = std::move (contents); });
    }
    int externalFlashWriteCount() const
    {
        return locked ([this] { return externalWrites; });
    }

private:
    /** Handles one well-formed command; appends the answers it gives. */
    void handleCommand (const HidPacket& command, std::vector<HidPacket>& answers);
    void handleUpdateModeCommand (const HidPacket& command, std::vector<HidPacket>& answers);
    bool applyFault (uint8_t command, std::vector<HidPacket>& answers, const HidPacket& strayRecord);
    std::vector<uint8_t> record (int patch) const;
    HidPacket presetReport (int patch) const;
    int algorithmByte() const { return kind == kindCAB ? 7 : 9; }
    // The CAB pedal's byte after its four knobs is the IR.
    int knobCount() const { return kind == kindCAB ? 4 : 5; }
    void setParameter (int recordByte, int value);
    /** Sets the current patch's record bytes from `recordByte` on to
        `values`, does whatever else `change` does, then reports it. */
    void changeOnPedal (int recordByte, uint8_t reply, std::initializer_list<int> payload, std::vector<int> values,
                        std::function<void()> change = {})
    {
        locked (
            [&]
            {
            for (auto value : values)
                setParameter (recordByte++, value);
            if (change)
                change();
        });
        sendReport (HidPacket::command (reply, payload));
    }

    mutable std::mutex stateLock;
    const DeviceKind kind;
    const UsbIdentity usb;
    const juce::String path;
    std::vector<HidPacket> received;

    std::vector<Parameters> patches;
    int current = 0, bypass = 1, reportedNameCount = -1, divisionIndex = 4, maxDelay = 2000;
    juce::StringArray names;
    bool sync = false, inTransfer = false;

    bool handshakeAccepted = false, programErased = false, eraseFails = false;
    std::vector<uint8_t> program, external;
    int externalWrites = 0;

    struct PendingFault
    {
        Fault fault;
        int command, skip;
    };
    std::deque<PendingFault> faults;
    Observers<ReportSink> sinks;
};
} // namespace tessel::sim
