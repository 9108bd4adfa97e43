#pragma once

#include <cstdint>

#include "device/LiveLink.h"

/** The next algorithm name to request while the names are loading. */
extern uint32_t AlgorithmNumber;

/** The one entry point for everything the pedal sends on the live link; the
    context is the hub. It decides which page a reply reaches. */
void MyInputCallback (void* context, HidResult result, void* sender, HidReportType type,
                      uint32_t reportID, uint8_t* report, long reportLength);

/** Ends a patch dump on the pedal: leaves the transfer state and asks for the
    switch states the pages show (bypass; tap tempo and, on DLY, the longest
    delay). Sent before the last record is stored, and when a stalled dump is
    given up. */
void sendEndOfDumpCommands();

/** The pedal's answer to the next factory-reset command, if it comes within
    a few seconds, shows nothing. For a reset that has already been reported
    as failed: its answer would follow that with "Factory reset successful.".
    Message thread. */
void silenceNextFactoryResetAnswer();
