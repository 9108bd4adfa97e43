#pragma once

#include <functional>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

/** The one seam every message box and file chooser of the editor goes
    through. The product shows JUCE's native ones; tests install a handler
    that answers them, so no test ever waits behind a modal window. */
class DialogHandler
{
public:
    virtual ~DialogHandler() = default;

    /** A box with an OK button only; returns once it is closed. */
    virtual void showMessageBox (const juce::String& title, const juce::String& message) = 0;

    /** A box with OK and Cancel; returns once it is closed, true for OK. */
    virtual bool askOkCancel (const juce::String& title, const juce::String& message) = 0;

    /** A box with OK and Cancel that returns at once; the callback gets 1 for
        OK and 0 for Cancel when it closes. */
    virtual void showOkCancelBoxAsync (const juce::String& title, const juce::String& message,
                                       std::function<void (int)> callback) = 0;

    /** A file to open, starting in the home folder; the empty File on cancel. */
    virtual juce::File chooseFileToOpen (const juce::String& pattern) = 0;

    /** A file to save to (the chooser warns before overwriting); the empty File on cancel. */
    virtual juce::File chooseFileToSave (const juce::String& pattern) = 0;

    /** One or more files to open, starting in the home folder; none on cancel. */
    virtual juce::Array<juce::File> chooseFilesToOpen (const juce::String& pattern) = 0;

    /** A folder, starting in the home folder; the empty File on cancel. */
    virtual juce::File chooseFolder (const juce::String& pattern) = 0;

    /** Opens a web page or a new mail in the desktop's own program. */
    virtual void openLink (const juce::URL& link) = 0;
};

namespace Dialogs
{
void showMessage (const juce::String& title, const juce::String& message);
bool askOkCancel (const juce::String& title, const juce::String& message);
void showOkCancelBoxAsync (const juce::String& title, const juce::String& message, std::function<void (int)> callback);
juce::File chooseFileToOpen (const juce::String& pattern);
juce::File chooseFileToSave (const juce::String& pattern);
juce::Array<juce::File> chooseFilesToOpen (const juce::String& pattern);
juce::File chooseFolder (const juce::String& pattern);
void openLink (const juce::URL& link);

/** Replaces the handler; null restores the native one. Returns the old one. */
std::unique_ptr<DialogHandler> setHandler (std::unique_ptr<DialogHandler> handler);
} // namespace Dialogs
