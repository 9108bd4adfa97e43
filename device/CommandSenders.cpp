#include "device/CommandSenders.h"

#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"

namespace
{
void send (int code, std::initializer_list<int> payload = {})
{
    sendLiveFrame (HidPacket::command (code, payload));
}

/** How many record bytes a preset write carries for each pedal kind. */
int presetPayloadLength (uint32_t kind)
{
    switch (kind)
    {
        case kindAMP:
            return 8;
        case kindCAB:
            return 10;
        default:
            return 12;
    }
}
} // namespace

// One line a command, aligned: the table reads as the protocol's command list.
// clang-format off
void usbInsertHidUpdate()                    { send (Command::enterUpdateMode); }
void DEVICEHID_DEBUG_FACTORY()               { send (Command::factoryReset); }
void DEVICEHID_DEBUG_OUT_PRESET (int patch)  { send (Command::requestPreset, { patch }); }
void DEVICEHID_DEBUG_SET_KNOB (int knob, int value) { send (Command::setKnob, { knob, value }); }
void DEVICEHID_DEBUG_SET_PATCH (int patch)   { send (Command::selectPatch, { patch }); }
void DEVICEHID_DEBUG_SET_ALOGR (int algorithm) { send (Command::selectAlgorithm, { algorithm }); }
void DEVICEHID_DEBUG_SET_BYPASS (int state)  { send (Command::setBypass, { state }); }
void DEVICEHID_DEBUG_GET_BYPASS()            { send (Command::getBypass); }
void DEVICEHID_DEBUG_SET_CAB (int on)        { send (Command::setCabSimulation, { on }); }
void DEVICEHID_DEBUG_GET_TAPTEMP()           { send (Command::getTapTempo); }
void DEVICEHID_DEBUG_SET_OBJECT (int target) { send (Command::setExpressionTarget, { target }); }
void DEVICEHID_DEBUG_SET_DIVIDE (int division) { send (Command::setDivision, { division }); }
void DEVICEHID_DEBUG_GET_DIVIDE()            { send (Command::getDivision); }
void DEVICEHID_DEBUG_SET_RANG (int minimum, int maximum) { send (Command::setExpressionRange, { minimum, maximum }); }
void DEVICEHID_DEBUG_SET_POWERAMP_NUM (int type) { send (Command::setPowerAmp, { type }); }
void DEVICEHID_DEBUG_SET_MICSTALL (int microphone) { send (Command::setMicrophone, { microphone }); }
void DEVICEHID_DEBUG_SET_TRAIL (int on)      { send (Command::setTrail, { on }); }
void DEVICEHID_DEBUG_SAVE()                  { send (Command::save); }
void DEVICEHID_DEBUG_GET_ALGOR_NAME (int index) { send (Command::getAlgorithmName, { index }); }
void DEVICEHID_DEBUG_SET_INPUTMOD (int mode) { send (Command::setInputMode, { mode }); }
void DEVICEHID_DEBUG_TRANS_STATE (int state) { send (Command::transferState, { state }); }
void sendIrIndexRead()                       { send (Command::irIndexRead); }
// clang-format on

void DEVICEHID_DEBUG_IN_PRESET (int a, int b, int c, int d, int e, int f, uint8_t g, uint8_t h, uint8_t i, uint8_t j,
                                uint8_t k, uint8_t l)
{
    const int all[] = { a, b, c, d, e, f, g, h, i, j, k, l };
    const auto count = presetPayloadLength (Device);

    auto packet = HidPacket::command (Command::writePreset);
    packet.bytes[1] = (uint8_t) count;

    for (int n = 0; n < count; ++n)
        packet.bytes[(size_t) (HidPacket::payloadOffset + n)] = (uint8_t) all[n];

    packet.seal();
    sendLiveFrame (packet);
}
