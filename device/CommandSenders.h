#pragma once

#include <cstdint>

// The pedal's commands on the live link, one free function each. They are
// fire-and-forget: answers, where the pedal gives one, arrive later through
// the reply decoder. With no pedal linked they send nothing.

void usbInsertHidUpdate();
void DEVICEHID_DEBUG_FACTORY();
void DEVICEHID_DEBUG_IN_PRESET (int a, int b, int c, int d, int e, int f, uint8_t g, uint8_t h, uint8_t i, uint8_t j,
                                uint8_t k, uint8_t l);
void DEVICEHID_DEBUG_OUT_PRESET (int patch);
void DEVICEHID_DEBUG_SET_KNOB (int knob, int value);
void DEVICEHID_DEBUG_SET_PATCH (int patch);
void DEVICEHID_DEBUG_SET_ALOGR (int algorithm);
void DEVICEHID_DEBUG_SET_BYPASS (int state);
void DEVICEHID_DEBUG_GET_BYPASS();
void DEVICEHID_DEBUG_SET_CAB (int on);
void DEVICEHID_DEBUG_GET_TAPTEMP();
void DEVICEHID_DEBUG_SET_OBJECT (int target);
void DEVICEHID_DEBUG_SET_DIVIDE (int division);
void DEVICEHID_DEBUG_GET_DIVIDE();
void DEVICEHID_DEBUG_SET_RANG (int minimum, int maximum);
void DEVICEHID_DEBUG_SET_POWERAMP_NUM (int type);
void DEVICEHID_DEBUG_SET_MICSTALL (int microphone);
void DEVICEHID_DEBUG_SET_TRAIL (int on);
void DEVICEHID_DEBUG_SAVE();
void DEVICEHID_DEBUG_GET_ALGOR_NAME (int index);
void DEVICEHID_DEBUG_SET_INPUTMOD (int mode);
void DEVICEHID_DEBUG_TRANS_STATE (int state);

/** Sent after every attempt to read the IR index from the pedal's volume. */
void sendIrIndexRead();
