#include "support/MessagePump.h"

#include <atomic>

namespace tessel::test
{
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs)
{
    auto* mm = juce::MessageManager::getInstance();
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() >= deadline)
            return condition();

        mm->runDispatchLoopUntil (5);
    }

    return true;
}

void click (juce::Button& button)
{
    button.triggerClick();
    pumpPending();
}

void pumpPending (int rounds)
{
    // Posted messages are handled in order, so once a marker posted now has
    // run, so has everything posted before it.
    for (int i = 0; i < rounds; ++i)
    {
        auto done = std::make_shared<std::atomic<bool>> (false);
        juce::MessageManager::callAsync ([done] { done->store (true); });
        pumpUntil ([done] { return done->load(); });
    }
}
} // namespace tessel::test
