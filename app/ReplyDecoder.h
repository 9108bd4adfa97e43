#pragma once

#include <cstdint>

#include "device/LiveLink.h"

/** The next algorithm name to request while the names are loading. */
extern uint32_t AlgorithmNumber;

/** The one entry point for everything the pedal sends on the live link; the
    context is the hub. It decides which page a reply reaches. */
void MyInputCallback (void* context, HidResult result, void* sender, HidReportType type,
                      uint32_t reportID, uint8_t* report, long reportLength);
