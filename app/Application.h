#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The editor application: one window, nothing saved between runs. */
class JUCE_USBApplication : public juce::JUCEApplication
{
public:
    JUCE_USBApplication();
    ~JUCE_USBApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        ~MainWindow() override;

        void closeButtonPressed() override;

    protected:
        // The native title bar and the taskbar take their icon from the
        // window the system makes, which is made again whenever the title
        // bar changes, so the icon goes on each one as it is made.
        juce::ComponentPeer* createNewPeer (int styleFlags, void* nativeWindowToAttachTo) override;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
    juce::TooltipWindow tooltipWindow { nullptr, 700 };
};
