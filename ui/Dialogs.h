#pragma once

#include <functional>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

/** The one seam every message box of the editor goes through. The product
    shows JUCE's native boxes; tests install a handler that answers them, so
    no test ever waits behind a modal window. */
class DialogHandler
{
public:
    virtual ~DialogHandler() = default;

    /** A box with an OK button only. */
    virtual void showMessageBox (const juce::String& title, const juce::String& message) = 0;
};

namespace Dialogs
{
/** Shows a message box through the current handler. */
void showMessage (const juce::String& title, const juce::String& message);

/** Replaces the handler; null restores the native one. Returns the old one. */
std::unique_ptr<DialogHandler> setHandler (std::unique_ptr<DialogHandler> handler);
} // namespace Dialogs
