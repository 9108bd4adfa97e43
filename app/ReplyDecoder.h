#pragma once

#include <cstdint>

#include "device/LiveLink.h"

/** The one entry point for everything the pedal sends on the live link; the
    context is the hub. It decides which page a reply reaches. The replies of
    the connection (identity, names, dump) act only through the hub's
    ConnectionSequence, and what they post is dropped if that sequence has
    ended by the time it runs. */
void MyInputCallback (void* context, HidResult result, void* sender, HidReportType type,
                      uint32_t reportID, uint8_t* report, long reportLength);

/** Ends a patch dump on the pedal: leaves the transfer state and asks for the
    switch states the pages show (bypass; tap tempo and, on DLY, the longest
    delay). Sent before the last record is stored, and when a stalled dump is
    given up. */
void sendEndOfDumpCommands();
