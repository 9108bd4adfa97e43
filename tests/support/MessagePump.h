#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

namespace tessel::test
{
/** Runs the message loop until the condition holds or the time runs out.
    Returns whether the condition held. */
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 3000);

/** Clicks a button as the user would, and lets what it posts run. */
void click (juce::Button& button);

/** Runs the message loop until every message posted so far has been
    handled, and what those posted in turn, to the given depth. */
void pumpPending (int rounds = 16);
} // namespace tessel::test
