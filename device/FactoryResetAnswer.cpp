#include "device/FactoryResetAnswer.h"

#include <algorithm>
#include <optional>

#include <juce_core/juce_core.h>

namespace
{
// A pedal that never answered must not swallow the answer to a later reset.
constexpr juce::uint32 answerWaitMs = 10000;

std::optional<LinkSession> quietFor;
juce::uint32 quietUntil = 0;
} // namespace

void FactoryResetAnswer::silenceNext (const LinkSession& session)
{
    quietFor = session;
    quietUntil = juce::Time::getMillisecondCounter() + answerWaitMs;
}

bool FactoryResetAnswer::takeSilence()
{
    const auto quiet = quietFor.has_value() && quietFor->isCurrent()
                    && juce::Time::getMillisecondCounter() < quietUntil;
    quietFor.reset();
    return quiet;
}
