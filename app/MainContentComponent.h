#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class KVNoDevice;

/** The window's content and the hub between the device link and the pages:
    it switches pages, takes the patch dump and returns to the no-device page
    when the pedal goes away. */
class MainContentComponent : public juce::Component
{
public:
    MainContentComponent();
    ~MainContentComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Returns to the no-device page and forgets the pedal's state. Safe to
        call more than once in a row. */
    void disconnect();

    /** Algorithm names of the connected pedal, as they arrive. */
    juce::StringArray names;

    std::unique_ptr<KVNoDevice> noDevice;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainContentComponent)
};
