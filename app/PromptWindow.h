#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The small window that stays up while a patch dump arrives. Its thread
    only waits: the hub wakes it with notify() when the last record is in
    (or the pedal goes away), and the window then closes and deletes itself. */
class PromptWindow : public juce::ThreadWithProgressWindow
{
public:
    PromptWindow();
    ~PromptWindow() override;

    void run() override;
    void threadComplete (bool userPressedCancel) override;

    static constexpr const char* title = "Loding Presets";
    static constexpr const char* status = "Please wait...";

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PromptWindow)
};
