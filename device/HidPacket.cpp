#include "device/HidPacket.h"

#include <algorithm>
#include <cstring>

HidPacket HidPacket::command (int code, std::initializer_list<int> payload)
{
    HidPacket packet;
    const auto count = std::min ((int) payload.size(), maxPayload);

    packet.bytes[0] = (uint8_t) code;
    packet.bytes[1] = (uint8_t) count;

    auto* out = packet.bytes.data() + payloadOffset;
    for (auto value : payload)
    {
        if (out == packet.bytes.data() + payloadOffset + count)
            break;

        *out++ = (uint8_t) value;
    }

    packet.seal();
    return packet;
}

HidPacket HidPacket::fromBytes (const uint8_t* data)
{
    HidPacket packet;
    std::memcpy (packet.bytes.data(), data, size);
    return packet;
}

uint16_t HidPacket::computeChecksum() const noexcept
{
    unsigned sum = 0;
    for (int i = 0; i < checksumOffset; ++i)
        sum += bytes[(size_t) i];

    return (uint16_t) sum;
}

uint16_t HidPacket::storedChecksum() const noexcept
{
    return (uint16_t) (bytes[checksumOffset] | (bytes[checksumOffset + 1] << 8));
}

void HidPacket::seal() noexcept
{
    const auto sum = computeChecksum();
    bytes[checksumOffset] = (uint8_t) (sum & 0xff);
    bytes[checksumOffset + 1] = (uint8_t) (sum >> 8);
}

bool hidPacketChecksumMatches (const uint8_t* report) noexcept
{
    unsigned sum = 0;
    for (int i = 0; i < HidPacket::checksumOffset; ++i)
        sum += report[i];

    const auto stored = (unsigned) (report[HidPacket::checksumOffset] | (report[HidPacket::checksumOffset + 1] << 8));
    return (sum & 0xffff) == stored;
}
