#pragma once

#include <cstdint>

#include "device/platform/HidManager.h"

/** The kind of the identified pedal (a DeviceKind). Only the identity reply
    writes it; after a removal it keeps the last kind until the next one. */
extern uint32_t Device;

/** The next algorithm name to request while the names are loading. */
extern uint32_t AlgorithmNumber;

/** The one entry point for everything the pedal sends on the live link. */
void MyInputCallback (void* context, HidResult result, void* sender, HidReportType type,
                      uint32_t reportID, uint8_t* report, long reportLength);
