#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>

#include <juce_events/juce_events.h>

/** The calls an object asks to have made later on the message thread, after a
    delay or once the messages before them are handled, kept by that object:
    whatever is still waiting when it goes is dropped with it. Nothing runs
    into an object that has gone, and nothing is left behind in the message
    loop when the program ends (juce::Timer::callAfterDelay's timer would live
    on until its time came, past the end of the program if need be).

    Message thread only. A call may destroy the owner; nothing of it is
    touched after the call has run. */
class OwnedCalls
{
public:
    OwnedCalls();
    ~OwnedCalls();

    /** Runs `call` once the messages posted before it have been handled. */
    void post (std::function<void()> call);

    /** Runs `call` after `delayMs` milliseconds. */
    void after (int delayMs, std::function<void()> call);

    /** Drops every call still waiting; none of them runs. */
    void cancelAll();

private:
    struct Delayed;

    // What is posted waits here; the message itself only names it, so the
    // queue holds nothing of the owner's.
    struct Posted
    {
        std::map<uint64_t, std::function<void()>> calls;
        uint64_t next = 1;
    };

    void delayedCallDue (Delayed* due);

    std::list<std::unique_ptr<Delayed>> delayed;
    std::shared_ptr<Posted> posted;

    JUCE_DECLARE_NON_COPYABLE (OwnedCalls)
};
