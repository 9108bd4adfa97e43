#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace tessel::test
{
/** Runs the message loop until the condition holds or the time runs out.
    Returns whether the condition held. */
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 3000);

/** Clicks a button as the user would, and lets what it posts run. */
void click (juce::Button& button);

/** Clicks the button, then presses the item `text` of the menu it opens as
    a click would, or dismisses the menu when there is none. Returns the
    menu's items top to bottom as a screen reader tells them, a separator as
    "-", or "no menu". */
juce::String chooseFromMenu (juce::Button& button, const juce::String& text = {});

/** Runs the message loop until every message posted so far has been
    handled, and what those posted in turn, to the given depth. */
void pumpPending (int rounds = 16);
} // namespace tessel::test
