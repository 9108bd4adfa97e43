#include "support/MessagePump.h"

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

juce::String chooseFromMenu (juce::Button& button, const juce::String& text)
{
    // Windows of earlier tests may still be leaving the desktop: the menu is
    // the newest modal window, not the newest window. One that leaves
    // meanwhile (the loading window, a job's progress window) leaves no modal
    // window at all for a moment, which is not the menu either. A loaded
    // machine may take a while to show it.
    auto* modal = juce::ModalComponentManager::getInstance();
    auto* before = modal->getModalComponent (0);
    const auto menuShown = [&]
    {
        auto* newest = modal->getModalComponent (0);
        return newest != nullptr && newest != before;
    };

    // A menu closes itself when the program loses the focus: tests running
    // side by side share one display, and another test's window may take it
    // before this menu is read. The page hears a dismissed menu as nothing
    // chosen, so it is opened again.
    constexpr int attempts = 3;
    bool shown = false;
    for (int i = 0; i < attempts && ! shown; ++i)
    {
        button.triggerClick();
        shown = pumpUntil (menuShown, 10000 / attempts);
    }

    if (! shown)
        return "no menu";

    juce::StringArray items;
    juce::AccessibilityHandler* chosen = nullptr;
    for (auto* item : modal->getModalComponent (0)->getChildren())
        if (auto* handler = item->getAccessibilityHandler())
        {
            items.add (handler->getTitle().isEmpty() ? "-" : handler->getTitle());
            chosen = handler->getTitle() == text ? handler : chosen;
        }

    if (chosen != nullptr)
        chosen->getActions().invoke (juce::AccessibilityActionType::press);
    juce::PopupMenu::dismissAllActiveMenus();
    pumpPending();
    return items.joinIntoString ("|");
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
