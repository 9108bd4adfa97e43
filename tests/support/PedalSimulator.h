#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <juce_core/juce_core.h>

#include "device/HidPacket.h"
#include "device/ProtocolCodes.h"

namespace tessel::sim
{
/** What the USB bus sees of a device. */
struct UsbIdentity
{
    int vendorId = 0;
    int productId = 0;
    juce::String manufacturer;
    juce::String product;
    bool accessible = true;   // false: seen, but this user may not open it (no udev rule)
};

/** Something the device's reports go to: the live link's simulated device,
    or (for the transfer jobs) an open handle of the fake hidapi. Every open
    endpoint gets its own copy of each report, as hidraw does. */
class ReportSink
{
public:
    virtual ~ReportSink() = default;
    virtual void deliverReport (const HidPacket& report) = 0;
};

/** Misbehaviour on demand, applied to the next answer of the named command. */
enum class Fault
{
    noAnswer,     // the answer is never sent
    badChecksum,  // the answer's checksum is off by one
    wrongCode,    // the answer carries a code the host doesn't expect
    unplug,       // the device disappears instead of answering
    strayRecord   // the record of patch 0, as it stood before the command,
                  // goes out ahead of the answer (as one the live link asked for)
};

/** A pedal of one kind, speaking the pedal's side of the protocol. It is
    thread-safe: the live link talks to it from the message thread while a
    transfer job may talk to it from a worker thread. */
class PedalSimulator : public std::enable_shared_from_this<PedalSimulator>
{
public:
    /** A pedal in its normal mode, with its USB identity and model code. */
    static std::shared_ptr<PedalSimulator> create (DeviceKind kind);

    /** A pedal restarted in its firmware-update mode. */
    static std::shared_ptr<PedalSimulator> createUpdateModeDevice (const juce::String& product = "TESSEL AMP");

    PedalSimulator (DeviceKind kind, UsbIdentity identity);
    virtual ~PedalSimulator() = default;

    DeviceKind kind() const noexcept { return pedalKind; }
    const UsbIdentity& identity() const noexcept { return usb; }

    /** The 5-character model code this kind answers the identify command with. */
    static const char* modelCodeFor (DeviceKind kind);

    // ---- host to pedal
    /** One output report as it arrives from the host (64 bytes, no report ID). */
    void receive (const uint8_t* data, long length);

    /** Every frame received so far, in order. */
    std::vector<HidPacket> receivedFrames() const;
    void clearReceivedFrames();

    /** The frames received since the last call, clearing them. */
    std::vector<HidPacket> takeReceivedFrames();

    // ---- pedal to host
    /** Sends a report of the pedal's own (a knob turned on the pedal). */
    void sendReport (const HidPacket& report);

    void attachSink (ReportSink* sink);
    void detachSink (ReportSink* sink);

    /** An answer to `command` (any command when -1) misbehaves: the first
        one after `skip` more such commands have been answered normally.
        Faults queue up and fire one after another. */
    void injectFault (Fault fault, int command = -1, int skip = 0);

    /** Called when a fault asks for the device to vanish; the bus sets it. */
    std::function<void()> onUnplugRequested;

    // ---- the pedal's own state
    static constexpr int defaultPatchCount = 12;

    /** One patch as the pedal stores it: the record bytes from 3 on (the
        parameters), in the kind's layout. */
    using Parameters = std::vector<uint8_t>;

    /** The record the pedal would send for patch n (count, current, n, parameters). */
    std::vector<uint8_t> recordOf (int patch) const;
    Parameters parametersOf (int patch) const;
    int patchCount() const;
    int currentPatch() const;
    int bypassState() const;
    juce::StringArray algorithmNames() const;

    /** Gives the pedal a different set of patches (all with these parameters). */
    void setPatches (int count);
    void setAlgorithmNames (const juce::StringArray& names);

    /** Number of names the pedal claims in its name replies; -1 = the real count. */
    void setReportedNameCount (int count);

    /** The record size of this kind, and where its algorithm byte is. */
    static int recordSizeFor (DeviceKind kind);

    // ---- things done on the pedal itself, reported to the host
    void turnKnob (int knob, int value);
    void selectPatchOnPedal (int patch);
    void selectAlgorithmOnPedal (int algorithm);
    void setBypassOnPedal (int state);
    void setCabSimulationOnPedal (int state);
    void setTapTempoSyncOnPedal (bool sync);
    void setDivisionOnPedal (int division);
    void setExpressionTargetOnPedal (int target);
    void setExpressionRangeOnPedal (int minimum, int maximum);
    void setTrailOnPedal (int state);
    void setInputModeOnPedal (int mode);

    // ---- the CAB pedal's own controls, reported with their own replies
    void setPowerAmpOnPedal (int type);
    void setRoomLevelOnPedal (int level);
    void setPresenceOnPedal (int level);
    void setMicrophoneOnPedal (int microphone);

    // ---- MOD and DLY state
    bool tapTempoSync() const;
    int division() const;
    int maxDelayMilliseconds() const;
    void setTapTempoSync (bool sync);
    void setDivision (int division);
    void setMaxDelayMilliseconds (int milliseconds);

    // ---- the update-mode device
    /** Whether this is a pedal restarted in its firmware-update mode, which
        speaks only the handshake, the erase and the block writes. */
    bool isUpdateModeDevice() const noexcept;

    /** The program flash from its start (0x08008000) up to the last byte
        written since the last erase; bytes never written read 0xFF. */
    std::vector<uint8_t> programFlash() const;

    /** What an earlier program left in the flash, for an update to replace. */
    void setProgramFlash (std::vector<uint8_t> contents);

    /** From now on the erase reports failure (0x08). */
    void setEraseFails (bool fails);

    /** How many erases have been carried out. */
    int programEraseCount() const;

    // ---- the CAB pedal's external flash
    /** The external flash up to the last byte written; unwritten bytes read 0xFF. */
    std::vector<uint8_t> externalFlash() const;
    int externalFlashWriteCount() const;

    /** What the external flash holds before the host erases it. */
    void setExternalFlash (std::vector<uint8_t> contents);

protected:
    /** Handles one well-formed command; appends the answers it gives. */
    virtual void handleCommand (const HidPacket& command, std::vector<HidPacket>& answers);

    mutable std::mutex stateLock;

private:
    void deliver (HidPacket report);
    bool applyFault (uint8_t command, std::vector<HidPacket>& answers, const HidPacket& strayRecord);
    HidPacket presetReport (int patch) const;

    const DeviceKind pedalKind;
    const UsbIdentity usb;

    int algorithmByte() const;
    int knobCount() const;
    int cabSimulationByte() const;
    void setParameter (int recordByte, int value);
    void changeOnPedal (int recordByte, int value, uint8_t reply);

    std::vector<HidPacket> received;

    std::vector<Parameters> patches;
    int current = 0;
    int bypass = 1;
    bool inTransfer = false;
    juce::StringArray names;
    int reportedNameCount = -1;
    bool sync = false;
    int divisionIndex = 4;
    int maxDelay = 2000;

    void handleUpdateModeCommand (const HidPacket& command, std::vector<HidPacket>& answers);
    bool handshakeAccepted = false;
    bool programErased = false;
    bool eraseFails = false;
    int eraseCount = 0;
    std::vector<uint8_t> program;

    void writeExternalFlash (const HidPacket& command, std::vector<HidPacket>& answers);
    std::vector<uint8_t> external;
    int externalWrites = 0;

    struct PendingFault
    {
        Fault fault;
        int command;
        int skip;
    };
    std::deque<PendingFault> faults;

    mutable std::mutex sinkLock;
    std::vector<ReportSink*> sinks;
};
} // namespace tessel::sim
