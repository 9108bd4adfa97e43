#include "pagekit/FirmwareUpdate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "ui/Dialogs.h"

std::atomic<uint32_t> UpdateNumber { 1 };
std::atomic<uint32_t> data32_t { UpdateMode::programStart };

namespace
{
// The update mode lets the host in only after a handshake that carries these
// two texts, each sent with its NUL.
constexpr char accessTextA[] = "TESSEL UPDATE ACCESS KEY A";
constexpr char accessTextB[] = "KORVEL PROGRAM FLASH UNLOCKED";
static_assert (sizeof (accessTextA) == 26 + 1 && sizeof (accessTextB) == 29 + 1, "the pedal expects these lengths");

// What the handshake announces before the texts: the first text's size with its NUL.
constexpr uint8_t handshakeLead = (uint8_t) sizeof (accessTextA);

void putAddress (HidPacket& frame, int offset, uint32_t address)
{
    for (int i = 0; i < 4; ++i)
        frame.bytes[(size_t) (offset + i)] = (uint8_t) (address >> (8 * i));
}

HidPacket handshakeFrame()
{
    HidPacket frame;
    auto* out = frame.data() + HidPacket::payloadOffset;

    *out++ = handshakeLead;
    out = std::copy (std::begin (accessTextA), std::end (accessTextA), out);
    out = std::copy (std::begin (accessTextB), std::end (accessTextB), out);

    frame.bytes[0] = UpdateMode::handshake;
    frame.bytes[1] = (uint8_t) (out - (frame.data() + HidPacket::payloadOffset));
    frame.seal();
    return frame;
}

HidPacket eraseFrame()
{
    HidPacket frame;
    frame.bytes[0] = UpdateMode::erase;
    frame.bytes[1] = 6;
    putAddress (frame, 2, UpdateMode::programStart);
    frame.bytes[6] = (uint8_t) (UpdateMode::eraseCount & 0xff);
    frame.bytes[7] = (uint8_t) (UpdateMode::eraseCount >> 8);
    frame.seal();
    return frame;
}

HidPacket writeFrame (uint32_t address, const uint8_t* block)
{
    HidPacket frame;
    frame.bytes[0] = UpdateMode::writeBlock;
    frame.bytes[1] = 4 + UpdateMode::blockSize;
    putAddress (frame, 2, address);
    std::copy (block, block + UpdateMode::blockSize, frame.bytes.begin() + 6);
    frame.seal();
    return frame;
}
} // namespace

//==============================================================================
FirmwareHeader FirmwareHeader::fromBytes (const uint8_t* bytes)
{
    FirmwareHeader header;
    header.unused0 = (int32_t) juce::ByteOrder::littleEndianInt (bytes);
    header.payloadLength = juce::ByteOrder::littleEndianInt (bytes + 4);
    header.unused8 = (int16_t) juce::ByteOrder::littleEndianShort (bytes + 8);
    header.unused10 = (int16_t) juce::ByteOrder::littleEndianShort (bytes + 10);
    header.unused12 = (int16_t) juce::ByteOrder::littleEndianShort (bytes + 12);
    header.payloadChecksum = juce::ByteOrder::littleEndianShort (bytes + 14);
    std::copy_n (bytes + 16, nameSize, header.deviceName.begin());
    std::copy_n (bytes + 32, nameSize, header.reserved.begin());
    return header;
}

bool FirmwareHeader::namesDevice (const juce::String& name) const
{
    // A name that fills all 16 bytes has no NUL; it is compared whole rather
    // than read on past the field.
    const auto end = std::find (deviceName.begin(), deviceName.end(), 0);
    const auto length = (size_t) (end - deviceName.begin());

    // As bytes, both sides unsigned: a name byte of 0x80 or above must match itself.
    const auto utf8 = name.toStdString();
    return utf8.size() == length
        && std::equal (deviceName.begin(), end, utf8.begin(),
                       [] (uint8_t ours, char theirs) { return ours == (uint8_t) theirs; });
}

uint16_t FirmwareHeader::checksumOf (const uint8_t* payload, size_t length)
{
    uint8_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum = (uint8_t) (sum + payload[i]);

    return sum;
}

FirmwareCheck checkFirmwareFile (const juce::File& file, const juce::String& deviceName, juce::MemoryBlock& payload)
{
    if (! file.existsAsFile())
        return FirmwareCheck::unreadable;

    // The size is known before reading: anything larger than a program can be
    // is turned away without loading it.
    const auto fileSize = file.getSize();
    if (fileSize < FirmwareHeader::size)
        return FirmwareCheck::tooShort;

    if (fileSize > (juce::int64) FirmwareHeader::size + (juce::int64) UpdateMode::maxProgramSize)
        return FirmwareCheck::tooLarge;

    juce::MemoryBlock contents;
    if (! file.loadFileAsData (contents) || (juce::int64) contents.getSize() != fileSize)
        return FirmwareCheck::unreadable;

    const auto* bytes = static_cast<const uint8_t*> (contents.getData());
    const auto header = FirmwareHeader::fromBytes (bytes);
    const auto payloadSize = contents.getSize() - (size_t) FirmwareHeader::size;

    if (! header.namesDevice (deviceName))
        return FirmwareCheck::otherDevice;

    if ((size_t) header.payloadLength != payloadSize)
        return FirmwareCheck::wrongLength;

    // Written, it would erase the pedal's program and put nothing in its place.
    if (payloadSize == 0)
        return FirmwareCheck::emptyPayload;

    if (header.payloadChecksum != FirmwareHeader::checksumOf (bytes + FirmwareHeader::size, payloadSize))
        return FirmwareCheck::wrongChecksum;

    payload.replaceAll (bytes + FirmwareHeader::size, payloadSize);
    return FirmwareCheck::compatible;
}

void resetFirmwareWriter()
{
    UpdateNumber = 1;
    data32_t = UpdateMode::programStart;
}

//==============================================================================
FirmwareUpdate::FirmwareUpdate (const juce::MemoryBlock& source)
    : TransferJob (title, status, Colours::palette)
{
    const auto length = source.getSize();
    blockCount = (int32_t) ((length + UpdateMode::blockSize - 1) / UpdateMode::blockSize);

    // The last block always travels whole; what lies past the program is
    // left as erased flash reads, 0xFF.
    payload.assign ((size_t) blockCount * UpdateMode::blockSize, 0xff);

    if (length > 0)
        std::copy_n (static_cast<const uint8_t*> (source.getData()), length, payload.begin());
}

int FirmwareUpdate::exchange (const HidPacket& frame, int timeoutMs)
{
    writeTransferFrame (frame);

    HidPacket answer;
    if (awaitAnswer (answer, timeoutMs) != HidPacket::size)
    {
        printf ("Erase firmware failed!");
        return noAnswer;
    }

    if (! answer.hasValidChecksum())
    {
        printf ("效验码出错");
        CloseUsbHid();
        return badChecksum;
    }

    return answer.code();
}

void FirmwareUpdate::run()
{
    // The pedal in its update mode is not linked, so there is no path to it:
    // with two of them attached, the file checked against one could go into
    // the other.
    result = noDevice;
    const Link link (Usb::updateModeVendorId, Usb::updateModeProductId);
    if (link.couldNotTellApart())
        result = cannotTellApart;

    if (! link.isOpen())
        return;

    result = handshakeFailed;
    if (exchange (handshakeFrame(), answerTimeoutMs) != UpdateMode::handshakeAccepted)
    {
        setStatusMessage (failedMessage);
        return;
    }

    result = eraseFailed;
    const auto erase = exchange (eraseFrame(), slowAnswerTimeoutMs);
    if (erase == UpdateMode::eraseFailed)
        printf ("擦除失败");

    if (erase != UpdateMode::erased)
        return;

    printf ("擦除成功");

    result = writeFailed;
    resetFirmwareWriter();

    // Addresses come from the block number held here, not from the globals:
    // a disconnect resets those at any moment, and must not send a block to
    // the wrong place.
    for (int32_t k = 1; k < blockCount; ++k)
    {
        const auto address = UpdateMode::programStart + (uint32_t) (UpdateMode::blockSize * k);
        data32_t = address;

        const auto* block = payload.data() + (size_t) k * UpdateMode::blockSize;
        if (exchange (writeFrame (address, block), answerTimeoutMs) != UpdateMode::blockWritten)
            return;

        UpdateNumber = (uint32_t) (k == blockCount - 1 ? 0 : k + 1);
        setProgress ((double) (k - 1) / (double) blockCount);
    }

    // Block 0 goes last: until it is in place the pedal will not start the
    // half-written program.
    if (blockCount > 0)
    {
        data32_t = UpdateMode::programStart;
        if (exchange (writeFrame (UpdateMode::programStart, payload.data()), slowAnswerTimeoutMs)
            != UpdateMode::blockWritten)
            return;

        printf ("更新完成!");
        UpdateNumber = 1;
    }

    result = updated;
}

void FirmwareUpdate::finished()
{
    // The status line goes with the window, so a failure gets a box of its own.
    if (result == cannotTellApart)
        tellWhyNotStarted (Start::cannotTellApart);
    else if (result != updated)
        Dialogs::showMessage ({}, failedMessage);
}

void startFirmwareUpdate (const juce::MemoryBlock& payload)
{
    // The job deletes itself when it has finished. Normal priority is what
    // older JUCE called priority 5.
    auto* job = new FirmwareUpdate (payload);
    job->launchThread (juce::Thread::Priority::normal);
}
