#include "device/platform/OwnedCalls.h"

#include <utility>

struct OwnedCalls::Delayed final : private juce::Timer
{
    Delayed (OwnedCalls& ownerToTell, std::function<void()> callToMake, int delayMs)
        : owner (ownerToTell),
          call (std::move (callToMake))
    {
        startTimer (delayMs);
    }

    ~Delayed() override { stopTimer(); }

    void timerCallback() override
    {
        stopTimer();
        owner.delayedCallDue (this);
    }

    OwnedCalls& owner;
    std::function<void()> call;
};

OwnedCalls::OwnedCalls()
    : posted (std::make_shared<Posted>())
{
}

OwnedCalls::~OwnedCalls()
{
    cancelAll();
}

void OwnedCalls::post (std::function<void()> call)
{
    JUCE_ASSERT_MESSAGE_THREAD

    const auto id = posted->next++;
    posted->calls.emplace (id, std::move (call));

    std::weak_ptr<Posted> waiting = posted;

    juce::MessageManager::callAsync (
        [waiting, id]
        {
        // Held while the call runs, which may end the owner.
        const auto calls = waiting.lock();

        if (calls == nullptr)
            return;

        const auto found = calls->calls.find (id);

        if (found == calls->calls.end())
            return;

        auto call = std::move (found->second);
        calls->calls.erase (found);
        call();
    });
}

void OwnedCalls::after (int delayMs, std::function<void()> call)
{
    JUCE_ASSERT_MESSAGE_THREAD

    delayed.push_back (std::make_unique<Delayed> (*this, std::move (call), juce::jmax (1, delayMs)));
}

void OwnedCalls::delayedCallDue (Delayed* due)
{
    for (auto it = delayed.begin(); it != delayed.end(); ++it)
    {
        if (it->get() != due)
            continue;

        // The timer goes first (JUCE lets a timer be deleted from its own
        // callback); the call may end the owner, and so this list.
        auto call = std::move (due->call);
        delayed.erase (it);
        call();
        return;
    }
}

void OwnedCalls::cancelAll()
{
    delayed.clear();
    posted->calls.clear();
}
