#include "device/ReplyDecoder.h"

#include <cstdio>
#include <cstring>

#include "device/CommandSenders.h"
#include "device/HidPacket.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"

uint32_t Device = kindNone;
uint32_t AlgorithmNumber = 0;

namespace
{
struct ModelCode
{
    const char* code;
    DeviceKind kind;
};

constexpr ModelCode modelCodes[] = {
    { "VQA-2", kindAMP },
    { "VQM-2", kindMOD },
    { "VQD-2", kindDLY },
    { "VQC-2", kindCAB },
};

DeviceKind kindFromModelCode (const uint8_t* code)
{
    for (const auto& model : modelCodes)
        if (std::memcmp (code, model.code, 5) == 0)
            return model.kind;

    return kindNone;
}

void handleIdentity (const uint8_t* report)
{
    const auto kind = kindFromModelCode (report + 2);
    if (kind == kindNone)
        return;

    Device = kind;

    if (kind == kindCAB)
    {
        DEVICEHID_DEBUG_TRANS_STATE (1);
        return;
    }

    AlgorithmNumber = 0;
    DEVICEHID_DEBUG_GET_ALGOR_NAME (0);
    AlgorithmNumber = 1;
}
} // namespace

void MyInputCallback (void*, HidResult, void*, HidReportType, uint32_t, uint8_t* report, long reportLength)
{
    if (report == nullptr || reportLength < HidPacket::size)
        return;

    if (! hidPacketChecksumMatches (report))
    {
        printf ("效验码出错");
        return;
    }

    switch (report[0])
    {
        case Reply::identity: handleIdentity (report); break;
        default: break;
    }
}
