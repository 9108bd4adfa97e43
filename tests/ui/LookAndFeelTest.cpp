#include <gtest/gtest.h>

#include "ui/KVLookAndFeel.h"
#include "ui/Palette.h"

namespace
{
constexpr float pi = juce::MathConstants<float>::pi;
const juce::Colour nothing; // nothing drawn: the pixel stays transparent
const juce::Colour restingKnob = Palette::knobFill.withAlpha (0.7f);
const juce::Colour disabledGrey (0x80808080);

bool looksLike (juce::Colour actual, juce::Colour expected, int tolerance = 4)
{
    if (expected.isTransparent())
        return actual.getAlpha() < 8;
    const auto close = [tolerance] (juce::uint8 a, juce::uint8 b) { return std::abs ((int) a - (int) b) <= tolerance; };
    return close (actual.getAlpha(), expected.getAlpha()) && close (actual.getRed(), expected.getRed())
        && close (actual.getGreen(), expected.getGreen()) && close (actual.getBlue(), expected.getBlue());
}

void expectPixels (const juce::Image& image, std::initializer_list<std::pair<juce::Point<int>, juce::Colour>> probes)
{
    for (const auto& [at, expected] : probes)
        EXPECT_TRUE (looksLike (image.getPixelAt (at.x, at.y), expected))
            << "at " << at.toString() << ": " << image.getPixelAt (at.x, at.y).toDisplayString (true) << ", expected "
            << expected.toDisplayString (true);
}

/** The pixel at a distance from a knob's centre, towards a knob angle (0 up, clockwise). */
juce::Point<int> around (float centre, float distance, float angle)
{
    return { (int) std::floor (centre + distance * std::sin (angle)),
             (int) std::floor (centre - distance * std::cos (angle)) };
}

template <typename Paint>
juce::Image drawn (int width, int height, Paint&& paint)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    paint (g);
    return image;
}
} // namespace

TEST (LookAndFeelKnob, ShowsBodyPointerAndARingLitUpToTheValueGreyWhenDisabledAndSmallUpTo28Pixels)
{
    // Set up as the pages do: the sweep runs from half past seven to half past
    // four, so half way up the range the pointer stands straight up.
    KVCustomLookAndFeel lookAndFeel;
    juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::NoTextBox);
    slider.setRange (0.0, 100.0, 1.0);
    slider.setRotaryParameters (1.25f * pi, 2.75f * pi, true);
    slider.setColour (juce::Slider::rotarySliderFillColourId, Palette::knobFill);
    slider.setLookAndFeel (&lookAndFeel);
    const auto paintedAt = [&] (double value, int size)
    {
        slider.setBounds (0, 0, size, size);
        slider.setValue (value, juce::dontSendNotification);
        return drawn (size, size, [&] (juce::Graphics& g) { slider.paintEntireComponent (g, true); });
    };
    const auto before = 1.75f * pi, after = 2.25f * pi, left = 1.5f * pi;

    expectPixels (paintedAt (50.0, 60),
                  { // The ring, from radius 22.4 out to 28: lit up to the value, dark
                    // beyond it, and absent outside the sweep.
                    { around (30, 23.5f, before), Palette::accent },
                    { around (30, 26.5f, after), Palette::knobTrack },
                    { around (30, 26.0f, pi), nothing },
                    { around (30, 29.5f, after), nothing },
                    { around (30, 21.0f, after), nothing },
                    // The body: radius 18, about three pixels thick, dimmed while the mouse is elsewhere.
                    { around (30, 17.5f, left), restingKnob },
                    { around (30, 15.0f, left), nothing },
                    { around (30, 20.5f, left), nothing },
                    // The pointer: two pixels just left of the upward radius, from 5.6 out to the body.
                    { { 28, 20 }, restingKnob },
                    { { 29, 15 }, restingKnob },
                    { { 30, 20 }, nothing },
                    { { 29, 27 }, nothing } });

    // At the end of its sweep the pointer lies along half past four.
    expectPixels (paintedAt (100.0, 60),
                  { { around (30, 25, left), Palette::accent },
                    { around (30, 11, 2.75f * pi - 0.1f), restingKnob },
                    { { 29, 20 }, nothing } });

    // Disabled, or in a disabled group: grey, but still showing its setting.
    slider.setEnabled (false);
    expectPixels (paintedAt (50.0, 60),
                  { { { 29, 20 }, disabledGrey },
                    { around (30, 25, before), Palette::accent },
                    { around (30, 25, after), Palette::knobTrack } });

    slider.setEnabled (true);
    juce::Component group;
    group.addAndMakeVisible (slider);
    group.setEnabled (false);
    expectPixels (paintedAt (50.0, 60), { { { 29, 20 }, disabledGrey } });
    group.removeChildComponent (&slider);

    // Knobs up to 28 pixels get the small style: a ring of radius 9.6 with a
    // spoke from the very centre, and no track; at 30 the full style, with an empty centre.
    expectPixels (paintedAt (50.0, 28),
                  { { { 13, 13 }, restingKnob },
                    { around (14, 9.6f, 0.5f * pi), restingKnob },
                    { around (14, 11.7f, 0.5f * pi), nothing } });
    expectPixels (paintedAt (50.0, 30),
                  { { { 14, 14 }, nothing }, { around (15, 11.7f, 0.5f * pi), Palette::knobTrack } });
}

TEST (LookAndFeelPopupMenu, MenuIsDarkWithCornerMarksItemsInTheAccentColourAndFaintSeparators)
{
    KVPopupMenuLookAndFeel lookAndFeel;
    const auto mark = Palette::menuCornerMarks, panel = Palette::menuBackground;

    // Marks 25 pixels long, along the width as well as down the sides.
    expectPixels (drawn (200, 100, [&] (juce::Graphics& g) { lookAndFeel.drawPopupMenuBackground (g, 200, 100); }),
                  { { { 100, 50 }, panel },
                    { { 0, 0 }, mark },
                    { { 23, 0 }, mark },
                    { { 27, 0 }, panel },
                    { { 0, 23 }, mark },
                    { { 0, 27 }, panel },
                    { { 199, 76 }, mark },
                    { { 199, 72 }, panel },
                    { { 176, 99 }, mark },
                    { { 172, 99 }, panel } });

    // An item drawn, and how many of its pixels are accent, its own red, or black.
    const auto drawItem = [&] (bool active, bool highlighted)
    {
        const juce::Colour ownColour (0xFFFF2020);
        auto image = drawn (200, 24,
                            [&] (juce::Graphics& g)
                            {
            lookAndFeel.drawPopupMenuBackground (g, 200, 24);
            lookAndFeel.drawPopupMenuItem (g, { 0, 0, 200, 24 }, false, active, highlighted, false, false,
                                           "Factory Reset", {}, nullptr, &ownColour);
        });

        int accent = 0, red = 0, black = 0;
        for (int i = 0; i < 200 * 24; ++i)
        {
            const auto pixel = image.getPixelAt (i % 200, i / 200);
            accent += looksLike (pixel, Palette::accent, 24) ? 1 : 0;
            red += pixel.getRed() > 0xC0 && pixel.getGreen() < 0x80 ? 1 : 0;
            black += pixel.getBrightness() < 0.05f ? 1 : 0;
        }
        return std::make_tuple (image, accent, red, black);
    };

    // Plain, and disabled under the mouse: accent text, never the item's own colour, no highlight.
    for (auto [active, highlighted] : { std::pair { true, false }, { false, true } })
    {
        const auto [item, accent, red, black] = drawItem (active, highlighted);
        EXPECT_TRUE (accent > 30 && red == 0);
        expectPixels (item, { { { 3, 3 }, panel } });
    }

    // Enabled under the mouse: the framework's light highlight with black text, inside a one-pixel margin.
    const auto [highlighted, accent, red, black] = drawItem (true, true);
    expectPixels (
        highlighted,
        { { { 3, 3 }, panel.overlaidWith (juce::Colour (0xBFA4C2CE)) }, { { 0, 0 }, mark }, { { 100, 23 }, panel } });
    EXPECT_TRUE (accent == 0 && black > 30);

    // A separator: across the middle, five pixels free at either end.
    const auto separator = drawn (100, 11,
                                  [&] (juce::Graphics& g)
                                  {
        g.fillAll (panel);
        lookAndFeel.drawPopupMenuItem (g, { 0, 0, 100, 11 }, true, true, false, false, false, {}, {}, nullptr, nullptr);
    });
    const auto line = panel.overlaidWith (juce::Colours::black.withAlpha (0.3f));
    expectPixels (separator,
                  { { { 50, 5 }, line },
                    { { 5, 5 }, line },
                    { { 94, 5 }, line },
                    { { 4, 5 }, panel },
                    { { 95, 5 }, panel },
                    { { 50, 4 }, panel },
                    { { 50, 6 }, panel } });
}

TEST (LookAndFeelComboBox, TextIsAtMost11PointsAndCondensedSoLongNamesFit)
{
    KVComboxLookAndFeel lookAndFeel;
    juce::ComboBox box;
    for (auto [height, points] : { std::pair { 40, 11.0f }, { 12, 10.2f } })
    {
        box.setSize (80, height);
        const auto width = lookAndFeel.getComboBoxFont (box).getStringWidthFloat ("MODULATION");
        EXPECT_NEAR (width / juce::Font (points).getStringWidthFloat ("MODULATION"), 0.9f, 0.02f) << height;
    }
}
