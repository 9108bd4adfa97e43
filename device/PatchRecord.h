#pragma once

#include <array>
#include <cstdint>

// One patch as the pedal reports it in a patch dump, kept raw: patch files
// hold these bytes as they are. Every layout starts with the dump's patch
// count, the pedal's current patch and the record's own patch number.

namespace PatchRecord
{
constexpr int countByte = 0;
constexpr int currentByte = 1;
constexpr int indexByte = 2;
constexpr int firstKnobByte = 3;

/** The longest record of any pedal; the hub's dump entry takes this many bytes. */
constexpr int maxSize = 14;
} // namespace PatchRecord

/** AMP pedal: knobs 0-4 in bytes 3-7, cabinet simulation in 8 (1 = off), algorithm in 9. */
struct AMPShape
{
    static constexpr int size = 10;
    static constexpr int cabSimulationByte = 8;
    static constexpr int algorithmByte = 9;

    std::array<uint8_t, size> bytes {};
};

/** DLY and MOD pedals: knobs in 3-7, trail in 8 (DLY), algorithm in 9, input
    mode in 10, expression target in 11, expression range in 12 and 13. */
struct EffectShape
{
    static constexpr int size = 14;
    static constexpr int trailByte = 8;
    static constexpr int algorithmByte = 9;
    static constexpr int inputModeByte = 10;
    static constexpr int expressionTargetByte = 11;
    static constexpr int rangeMinByte = 12;
    static constexpr int rangeMaxByte = 13;

    std::array<uint8_t, size> bytes {};
};

/** CAB pedal: knobs 0-3 in 3-6, IR in 7, microphone in 8, power amp in 9,
    power-amp level in 10, cabinet level in 11. */
struct CABShape
{
    static constexpr int size = 12;
    static constexpr int irByte = 7;
    static constexpr int microphoneByte = 8;
    static constexpr int powerAmpByte = 9;
    static constexpr int powerAmpLevelByte = 10;
    static constexpr int cabLevelByte = 11;

    std::array<uint8_t, size> bytes {};
};
