#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class KVCABView;

/** The microphone position in front of the speaker: X and Y (knobs 1 and 2,
    each 0 to 99) are where the microphone picture lies on the square pad,
    X = 0 at the left edge and Y = 99 at the top. The page, its pad and the
    hub all place the picture with these, truncating toward zero, so that a
    value and a position always agree to within the one step truncation
    loses on the way back. */
namespace MicPad
{
constexpr int padSize = 177;
constexpr int maxValue = 99;

int xForValue (int value, int pictureWidth);
int yForValue (int value, int pictureHeight);
int valueForX (int x, int pictureWidth);
int valueForY (int y, int pictureHeight);
} // namespace MicPad

/** The microphone picture on the CAB page's pad. Dragging it sets X and Y
    on the page's knobs and sends both to the pedal; it never leaves the pad
    and does nothing while it (or the page) is disabled. */
class KVBallGeneratorImage : public juce::ImageComponent
{
public:
    KVBallGeneratorImage() = default;
    ~KVBallGeneratorImage() override;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void resized() override;

    /** Moves the picture to knob 1's value along the pad, keeping its y. */
    void showX (int value);

    /** Moves the picture to knob 2's value up the pad, keeping its x. */
    void showY (int value);

    KVCABView* ownerView = nullptr;
    juce::ComponentBoundsConstrainer constrainer;
    juce::ComponentDragger dragger;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVBallGeneratorImage)
};
