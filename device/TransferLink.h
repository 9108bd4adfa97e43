#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <hidapi/hidapi.h>

#include "device/HidPacket.h"

// The transfer link: the long jobs (firmware update, the CAB pedal's image
// and patch transfers) open the pedal through hidapi and talk to it
// synchronously from their worker threads, one job at a time. It is separate
// from the live link, which goes through the HID manager on the message thread.

/** The hidapi device of the open transfer link, or null. One job uses it at a
    time; it is atomic only so that the message thread may look at it safely. */
extern std::atomic<hid_device*> handle;

/** How long the transfer link waits for an answer. The product waits as long
    as the pedal may take; tests shorten these so that faults end quickly. */
struct TransferTimeouts
{
    /** An external-flash block write's answer. */
    static inline int flashWriteMs = 2000;

    /** The transfer-state answer, which nobody looks at: a pedal that never
        sends it must not hold the job up for ever. */
    static inline int transferStateMs = 2000;
};

namespace FlashWrite
{
constexpr int blockSize = 54;
constexpr int succeeded = 1;
constexpr int failed = -11;
} // namespace FlashWrite

/** Opens the first attached device with both IDs into `handle`. Returns 1 when
    the link is open (also when it already was: nothing more is opened), 0 when
    no such device could be opened. */
int OpenUsbHid (unsigned short vendorID, unsigned short productID);

/** What OpenUsbHid answers when it cannot tell which device is meant. */
constexpr int transferLinkAmbiguous = -1;

/** Opens one particular device into `handle`: the one at devicePath (hidapi's
    path, which the live link knows for its pedal), or, with no path, the one
    device attached with both IDs, opened by the path it was counted by
    (devices are told apart by their paths, however often hidapi lists each).
    Several attached and no path to choose:
    returns transferLinkAmbiguous and opens nothing. Otherwise as above. */
int OpenUsbHid (unsigned short vendorID, unsigned short productID, const std::string& devicePath);

/** Closes the transfer link: hid_close, hid_exit, then `handle` = null.
    Harmless when the link is already closed. */
void CloseUsbHid();

/** Writes one frame on the transfer link as a 65-byte report with report ID 0.
    Returns hidapi's result. */
int writeTransferFrame (const HidPacket& frame);

/** Reads one 64-byte answer, waiting at most timeoutMs. Returns the number of
    bytes read, 0 when the time ran out, negative on error (an unplugged device). */
int readTransferFrame (HidPacket& answer, int timeoutMs);

/** Whether a report is one the pedal sends the live link: a reply to a
    live-link command or a change made on the pedal. Every open handle of the
    pedal receives every report, so a job reading its answers meets these too. */
bool isLiveLinkReport (uint8_t code);

/** Reads the answer to the frame just written: passes over the live link's
    reports until another one arrives or timeoutMs has passed in all. Returns
    as readTransferFrame. For answers the live link never gets as its own
    (the external flash's erase and writes). */
int readTransferAnswer (HidPacket& answer, int timeoutMs);

/** Tells the pedal a transfer begins (1) or ends (0), and waits a bounded time
    for its answer, which it does not examine. */
void HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (int state);

/** Writes block `block` (count bytes, 1 .. 54, from image + block × 54) of the
    pedal's external flash at address block × 54. A block of nothing but 0xFF is
    already what the erased flash holds, so it is not sent. Returns 1 when the
    block is written or skipped, -11 otherwise; an answer with a bad checksum
    also closes the link. */
int DEVICE_EXTERN_FLASH_WRITE (const uint8_t* image, int block, unsigned count);
