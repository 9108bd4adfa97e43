#include "device/FactoryResetAnswer.h"

#include <juce_core/juce_core.h>

#include "device/LiveLink.h"

namespace
{
// A pedal that never answered must not swallow the answer to a later reset
// of its own.
constexpr juce::uint32 answerWaitMs = 10000;

uint32_t quietPedal = 0; // the link's number for the pedal, 0 for none
juce::uint32 quietUntil = 0;
} // namespace

void FactoryResetAnswer::silenceNext()
{
    quietPedal = linkedPedal();
    quietUntil = juce::Time::getMillisecondCounter() + answerWaitMs;
}

bool FactoryResetAnswer::takeSilence()
{
    const auto quiet =
        quietPedal != 0 && quietPedal == linkedPedal() && juce::Time::getMillisecondCounter() < quietUntil;
    quietPedal = 0;
    return quiet;
}
