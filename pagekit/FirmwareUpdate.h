#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/HidPacket.h"
#include "pagekit/TransferJob.h"

// Firmware files and the job that writes one into the pedal's program flash
// while the pedal runs in its update mode (where it shows up as a different
// USB device and speaks the few commands below).

namespace UpdateMode
{
constexpr uint8_t handshake = 0x13;
constexpr uint8_t handshakeAccepted = 0x14;
constexpr uint8_t erase = 0x06;
constexpr uint8_t erased = 0x09;
constexpr uint8_t eraseFailed = 0x08;
constexpr uint8_t writeBlock = 0x03;
constexpr uint8_t blockWritten = 0x0B;

/** Where the program starts in the pedal's flash; the boot code lies below. */
constexpr uint32_t programStart = 0x08008000;

/** The erase command's count, which takes in the whole program area. */
constexpr int eraseCount = 10;

/** Payload bytes per write command. */
constexpr int blockSize = 20;

/** The room for a program: from programStart to the end of the pedal's 1 MiB
    flash, i.e. 992 KiB. Ten erased sectors cover exactly this. A file whose
    payload could not fit is not firmware for this pedal. */
constexpr uint32_t maxProgramSize = 0x08100000 - programStart;
} // namespace UpdateMode

/** The 48 bytes at the start of a firmware file (little-endian); the payload follows. */
struct FirmwareHeader
{
    static constexpr int size = 48;
    static constexpr int nameSize = 16;

    int32_t unused0 = 0;
    uint32_t payloadLength = 0;
    int16_t unused8 = 0;
    int16_t unused10 = 0;
    int16_t unused12 = 0;
    uint16_t payloadChecksum = 0;
    std::array<uint8_t, nameSize> deviceName {};
    std::array<uint8_t, nameSize> reserved {};

    /** Reads the header from the first 48 bytes of a file. */
    static FirmwareHeader fromBytes (const uint8_t* bytes);

    /** Whether the header names this device, byte for byte and case-sensitive.
        The name ends at its NUL, or fills all 16 bytes when it has none. */
    bool namesDevice (const juce::String& name) const;

    /** The 8-bit sum of a payload, as the checksum field should hold it. */
    static uint16_t checksumOf (const uint8_t* payload, size_t length);
};

/** What checking a firmware file found, the first failed check winning. */
enum class FirmwareCheck
{
    compatible,
    unreadable,   // missing, a folder, or could not be read
    tooShort,     // shorter than its header
    tooLarge,     // more than the program flash could hold; not read
    otherDevice,  // made for a different device
    wrongLength,  // payload length field disagrees with the file size
    emptyPayload, // no program at all
    wrongChecksum // payload sum disagrees with the checksum field
};

/** Checks a firmware file against the name of the device in update mode, in
    the order: readable, size, device name, payload length (not 0), payload
    checksum.
    On success the payload is copied into `payload`. */
FirmwareCheck checkFirmwareFile (const juce::File& file, const juce::String& deviceName, juce::MemoryBlock& payload);

/** Number of the next block the writer sends; 0 means block 0, written last. */
extern std::atomic<uint32_t> UpdateNumber;

/** Flash address of the block being written. */
extern std::atomic<uint32_t> data32_t;

/** Puts the writer's globals back to their start (block 1 at the program
    start); the hub calls it when the pedal goes away. */
void resetFirmwareWriter();

/** The update itself: handshake, erase, blocks 1 .. N-1, then block 0, behind
    a modal progress window. Deletes itself when it has finished; a failure is
    told in a message box once the window has closed. */
class FirmwareUpdate : public TransferJob
{
public:
    explicit FirmwareUpdate (const juce::MemoryBlock& payload);

    void run() override;

    static constexpr const char* title = "Firmware Updating";
    static constexpr const char* status = "Please wait...";
    static constexpr const char* failedMessage = "Firmware update failed. Please try again.";

    /** The handshake's and the blocks' answers. */
    static inline int answerTimeoutMs = 2000;

    /** The erase and block 0 take the pedal much longer (it clears the whole
        program area, and checks the program before it answers block 0). */
    static inline int slowAnswerTimeoutMs = 60000;

    enum Result
    {
        updated = 0,
        noDevice,
        handshakeFailed,
        eraseFailed,
        writeFailed,
        cannotTellApart // two pedals wait in their update mode
    };

private:
    void finished() override;

    /** Sends a frame and waits for its answer. Returns the answer's code, or
        one of the negative values below. */
    int exchange (const HidPacket& frame, int timeoutMs);

    static constexpr int noAnswer = -1;
    static constexpr int badChecksum = -2;

    /** The payload, its last block filled up with 0xFF. */
    std::vector<uint8_t> payload;
    int32_t blockCount = 0;
    std::atomic<int> result { updated };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FirmwareUpdate)
};

/** Starts the update of a payload that has passed its checks; returns at once. */
void startFirmwareUpdate (const juce::MemoryBlock& payload);
