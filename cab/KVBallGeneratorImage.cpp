#include "cab/KVBallGeneratorImage.h"

#include "cab/KVCABView.h"
#include "device/CommandSenders.h"

namespace MicPad
{
namespace
{
int room (int pictureSize)
{
    return padSize - pictureSize;
}
} // namespace

int xForValue (int value, int pictureWidth)
{
    return (int) (room (pictureWidth) * ((double) value / maxValue));
}

int yForValue (int value, int pictureHeight)
{
    return (int) (room (pictureHeight) * (1.0 - (double) value / maxValue));
}

int valueForX (int x, int pictureWidth)
{
    return (int) ((double) x / room (pictureWidth) * maxValue);
}

int valueForY (int y, int pictureHeight)
{
    return maxValue - (int) ((double) y / room (pictureHeight) * maxValue);
}
} // namespace MicPad

KVBallGeneratorImage::~KVBallGeneratorImage() = default;

void KVBallGeneratorImage::mouseDown (const juce::MouseEvent& event)
{
    dragger.startDraggingComponent (this, event);
}

void KVBallGeneratorImage::mouseDrag (const juce::MouseEvent& event)
{
    // isEnabled() also answers for the page: bypassed or muted, nothing moves.
    if (! isEnabled() || ownerView == nullptr)
        return;

    dragger.dragComponent (this, event, &constrainer);

    auto& x = ownerView->knobSliders[1];
    auto& y = ownerView->knobSliders[2];

    // Set quietly: the page's own handler would move the picture again.
    x.setValue (MicPad::valueForX (getX(), getWidth()), juce::dontSendNotification);
    y.setValue (MicPad::valueForY (getY(), getHeight()), juce::dontSendNotification);

    DEVICEHID_DEBUG_SET_KNOB (1, (int) x.getValue());
    DEVICEHID_DEBUG_SET_KNOB (2, (int) y.getValue());
}

void KVBallGeneratorImage::resized()
{
    // The whole picture stays on the pad, whichever edge it is pushed against.
    constrainer.setMinimumOnscreenAmounts (getHeight(), getWidth(), getHeight(), getWidth());
}

void KVBallGeneratorImage::showX (int value)
{
    setTopLeftPosition (MicPad::xForValue (value, getWidth()), getY());
}

void KVBallGeneratorImage::showY (int value)
{
    setTopLeftPosition (getX(), MicPad::yForValue (value, getHeight()));
}
