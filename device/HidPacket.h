#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

/** The one frame of the pedal protocol, 64 bytes in both directions, with no
    report-ID byte: [0] code, [1] payload length n, [2 .. n+1] payload, zero
    fill, and in [62..63] the little-endian 16-bit sum of bytes 0 .. 61. */
struct HidPacket
{
    static constexpr int size = 64;
    static constexpr int checksumOffset = 62;
    static constexpr int payloadOffset = 2;
    static constexpr int maxPayload = checksumOffset - payloadOffset;

    std::array<uint8_t, size> bytes {};

    /** A fresh, fully zeroed frame with the code, the payload (each argument's
        low byte) and its checksum. */
    static HidPacket command (int code, std::initializer_list<int> payload = {});

    /** A frame copied from 64 received bytes. */
    static HidPacket fromBytes (const uint8_t* data);

    uint8_t code() const noexcept { return bytes[0]; }
    uint8_t length() const noexcept { return bytes[1]; }
    uint8_t operator[] (int index) const noexcept { return bytes[(size_t) index]; }

    /** Sum of bytes 0 .. 61, as the frame's checksum should read. */
    uint16_t computeChecksum() const noexcept;
    uint16_t storedChecksum() const noexcept;
    bool hasValidChecksum() const noexcept { return computeChecksum() == storedChecksum(); }

    /** Writes the checksum of the current contents into bytes 62 and 63. */
    void seal() noexcept;

    const uint8_t* data() const noexcept { return bytes.data(); }
    uint8_t* data() noexcept { return bytes.data(); }
};

/** Checks a received 64-byte report against the sum in its last two bytes. */
bool hidPacketChecksumMatches (const uint8_t* report) noexcept;
