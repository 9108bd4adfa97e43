#pragma once

#include <cstdint>

// Every code of the pedal protocol, named once. Pages and jobs use these,
// never the bare numbers.

namespace Command
{
constexpr uint8_t enterUpdateMode = 0x09;
constexpr uint8_t factoryReset = 0x13;
constexpr uint8_t writePreset = 0x14;
constexpr uint8_t requestPreset = 0x15;
constexpr uint8_t setKnob = 0x16;
constexpr uint8_t identify = 0x19;
constexpr uint8_t selectPatch = 0x21;
constexpr uint8_t selectAlgorithm = 0x23;
constexpr uint8_t setBypass = 0x25;
constexpr uint8_t getBypass = 0x26;
constexpr uint8_t setCabSimulation = 0x27;
constexpr uint8_t getTapTempo = 0x30;
constexpr uint8_t setExpressionTarget = 0x31;
constexpr uint8_t setDivision = 0x35;
constexpr uint8_t getDivision = 0x36;
constexpr uint8_t setExpressionRange = 0x37;
constexpr uint8_t irIndexRead = 0x40;
constexpr uint8_t setPowerAmp = 0x41;
constexpr uint8_t setCabLevel = 0x43;
constexpr uint8_t setPowerAmpLevel = 0x45;
constexpr uint8_t setMicrophone = 0x47;
constexpr uint8_t setTrail = 0x51;
constexpr uint8_t save = 0x53;
constexpr uint8_t getAlgorithmName = 0x54;
constexpr uint8_t setInputMode = 0x55;
constexpr uint8_t flashWrite = 0x57;
constexpr uint8_t flashErase = 0x59;
constexpr uint8_t transferState = 0x65;
constexpr uint8_t setMaxDelay = 0x66;
constexpr uint8_t getMaxDelay = 0x67;
} // namespace Command

namespace Reply
{
constexpr uint8_t factoryReset = 0x13;
constexpr uint8_t presetRecord = 0x15;
constexpr uint8_t knob = 0x17;
constexpr uint8_t identity = 0x19;
constexpr uint8_t patch = 0x22;
constexpr uint8_t algorithm = 0x24;
constexpr uint8_t bypass = 0x26;
constexpr uint8_t cabSimulation = 0x28;
constexpr uint8_t tapTempo = 0x30;
constexpr uint8_t expressionTarget = 0x32;
constexpr uint8_t division = 0x36;
constexpr uint8_t expressionRange = 0x38;
constexpr uint8_t powerAmp = 0x42;
constexpr uint8_t cabLevel = 0x44;
constexpr uint8_t powerAmpLevel = 0x46;
constexpr uint8_t microphone = 0x48;
constexpr uint8_t trail = 0x52;
constexpr uint8_t saveComplete = 0x53;
constexpr uint8_t algorithmName = 0x54;
constexpr uint8_t inputMode = 0x56;
constexpr uint8_t flashWritten = 0x61;
constexpr uint8_t flashErased = 0x64;
constexpr uint8_t transferState = 0x65;
constexpr uint8_t maxDelay = 0x67;
} // namespace Reply

namespace Usb
{
constexpr int korvelVendorId = 0x7C5A;
constexpr int firstPedalProductId = 3;
constexpr int lastPedalProductId = 6;
constexpr int cabProductId = 6;
constexpr int updateModeVendorId = 0x0483;
constexpr int updateModeProductId = 0x5730;
constexpr const char* manufacturer = "KORVEL-TESSEL";
} // namespace Usb

/** The pedal kinds, numbered as the identity reply sets them. */
enum DeviceKind : uint32_t
{
    kindNone = 0,
    kindAMP = 1,
    kindMOD = 2,
    kindDLY = 3,
    kindCAB = 4
};
