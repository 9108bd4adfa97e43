#include "device/TransferLink.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <set>

#include "device/ProtocolCodes.h"

std::atomic<hid_device*> handle { nullptr };

int OpenUsbHid (unsigned short vendorID, unsigned short productID)
{
    if (handle.load() != nullptr)
        return 1;

    // hidapi initialises itself here, also after a close has shut it down.
    handle = hid_open (vendorID, productID, nullptr);
    return handle.load() != nullptr ? 1 : 0;
}

int OpenUsbHid (unsigned short vendorID, unsigned short productID, const std::string& devicePath)
{
    if (handle.load() != nullptr)
        return 1;

    if (! devicePath.empty())
    {
        handle = hid_open_path (devicePath.c_str());
        return handle.load() != nullptr ? 1 : 0;
    }

    // hid_open takes the first device with the IDs, which may be any of them.
    // On Linux hidapi lists a device once for each top-level collection of its
    // report descriptor, every time with the same path: paths, not entries,
    // are what tell devices apart.
    std::set<std::string> attached;
    auto* devices = hid_enumerate (vendorID, productID);
    for (auto* device = devices; device != nullptr; device = device->next)
        attached.insert (device->path != nullptr ? device->path : "");
    hid_free_enumeration (devices);

    if (attached.size() > 1)
    {
        hid_exit();
        return transferLinkAmbiguous;
    }

    if (attached.empty())
        return 0;

    // The device counted, by its path: hid_open would take whichever device
    // with the IDs it found first by then, and one plugged in since the
    // count could be that one.
    handle = hid_open_path (attached.begin()->c_str());
    return handle.load() != nullptr ? 1 : 0;
}

void CloseUsbHid()
{
    auto* device = handle.exchange (nullptr);
    if (device == nullptr)
        return;

    hid_close (device);
    hid_exit();
}

int writeTransferFrame (const HidPacket& frame)
{
    auto* device = handle.load();
    if (device == nullptr)
        return -1;

    // hidapi takes the report ID first; ours is 0 and never reaches the pedal.
    std::array<unsigned char, HidPacket::size + 1> report {};
    std::copy (frame.bytes.begin(), frame.bytes.end(), report.begin() + 1);
    return hid_write (device, report.data(), report.size());
}

int readTransferFrame (HidPacket& answer, int timeoutMs)
{
    auto* device = handle.load();
    if (device == nullptr)
        return -1;

    answer = HidPacket();
    return hid_read_timeout (device, answer.data(), HidPacket::size, timeoutMs);
}

bool isLiveLinkReport (uint8_t code)
{
    static constexpr uint8_t liveCodes[] = { Reply::factoryReset,     Reply::presetRecord,  Reply::knob,
                                             Reply::identity,         Reply::patch,         Reply::algorithm,
                                             Reply::bypass,           Reply::cabSimulation, Reply::tapTempo,
                                             Reply::expressionTarget, Reply::division,      Reply::expressionRange,
                                             Reply::powerAmp,         Reply::cabLevel,      Reply::powerAmpLevel,
                                             Reply::microphone,       Reply::trail,         Reply::saveComplete,
                                             Reply::algorithmName,    Reply::inputMode,     Reply::transferState,
                                             Reply::maxDelay };
    return std::find (std::begin (liveCodes), std::end (liveCodes), code) != std::end (liveCodes);
}

int readTransferAnswer (HidPacket& answer, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (std::max (0, timeoutMs));

    for (;;)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds> (deadline - std::chrono::steady_clock::now());
        const auto got = readTransferFrame (answer, (int) std::max<long long> (0, left.count()));

        // A damaged report is not passed over: it may be the answer.
        if (got != HidPacket::size || ! answer.hasValidChecksum() || ! isLiveLinkReport (answer.code()))
            return got;
    }
}

void HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (int state)
{
    writeTransferFrame (HidPacket::command (Command::transferState, { state }));

    HidPacket answer;
    readTransferFrame (answer, TransferTimeouts::transferStateMs);
}

int DEVICE_EXTERN_FLASH_WRITE (const uint8_t* image, int block, unsigned count)
{
    constexpr unsigned addressBytes = 4;

    // A longer block would run into the checksum; the image job never asks for one.
    if (block < 0 || count > (unsigned) FlashWrite::blockSize)
        return FlashWrite::failed;

    const auto address = (uint32_t) block * (uint32_t) FlashWrite::blockSize;
    const auto* data = image + address;

    if (std::all_of (data, data + count, [] (uint8_t b) { return b == 0xff; }))
        return FlashWrite::succeeded;

    HidPacket frame;
    frame.bytes[0] = Command::flashWrite;
    frame.bytes[1] = (uint8_t) (count + addressBytes);
    frame.bytes[2] = (uint8_t) (address & 0xff);
    frame.bytes[3] = (uint8_t) ((address >> 8) & 0xff);
    frame.bytes[4] = (uint8_t) ((address >> 16) & 0xff);
    frame.bytes[5] = (uint8_t) ((address >> 24) & 0xff);
    std::copy (data, data + count, frame.bytes.begin() + HidPacket::payloadOffset + addressBytes);
    frame.seal();

    writeTransferFrame (frame);

    HidPacket answer;
    if (readTransferAnswer (answer, TransferTimeouts::flashWriteMs) != HidPacket::size)
        return FlashWrite::failed;

    if (! answer.hasValidChecksum())
    {
        printf ("效验码出错");
        CloseUsbHid();
        return FlashWrite::failed;
    }

    return answer.code() == Reply::flashWritten ? FlashWrite::succeeded : FlashWrite::failed;
}
