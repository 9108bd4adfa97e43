#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The page that fills the window while no pedal is connected in its normal
    mode: a picture, a status line and the firmware button, which shows only
    while a pedal waits in its update mode. */
class KVNoDevice : public juce::Component,
                   public juce::DragAndDropContainer,
                   private juce::Button::Listener
{
public:
    static constexpr int pageWidth = 780;
    static constexpr int pageHeight = 408;

    KVNoDevice();
    ~KVNoDevice() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Checks a firmware file against deviceName. A refused file clears
        pendingFirmware and is told in a message box (false). An accepted one
        is kept in pendingFirmware (true), or, with startNow, its update is
        started (false). */
    bool UpdateFirmware (juce::File file, bool startNow);

    juce::Label statusLabel;

    /** Under the status line: what the user can do when a pedal is found but
        cannot be used; empty otherwise. */
    juce::Label hintLabel;

    /** Product name of the device last matched; firmware files are checked against it. */
    juce::String deviceName;

    /** A firmware file checked in advance, waiting for the pedal to come up in update mode. */
    juce::File pendingFirmware;

    juce::ImageComponent background;
    juce::ImageButton firmwareButton;

private:
    void buttonClicked (juce::Button*) override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVNoDevice)
};
