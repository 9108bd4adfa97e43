#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/KVLookAndFeel.h"
#include "ui/Palette.h"

namespace
{
constexpr float pi = juce::MathConstants<float>::pi;

// The knobs in these tests sweep from half past seven to half past four, so
// half way up the range the pointer stands straight up.
constexpr float sweepStart = 1.25f * pi;
constexpr float sweepEnd = 2.75f * pi;

juce::Image blankImage (int width, int height)
{
    return juce::Image (juce::Image::ARGB, width, height, true);
}

::testing::AssertionResult looksLike (juce::Colour actual, juce::Colour expected, int tolerance = 4)
{
    const auto close = [tolerance] (juce::uint8 a, juce::uint8 b) { return std::abs ((int) a - (int) b) <= tolerance; };

    if (close (actual.getAlpha(), expected.getAlpha()) && close (actual.getRed(), expected.getRed())
        && close (actual.getGreen(), expected.getGreen()) && close (actual.getBlue(), expected.getBlue()))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "pixel is " << actual.toDisplayString (true) << ", expected "
                                         << expected.toDisplayString (true);
}

bool isBlank (juce::Colour pixel)
{
    return pixel.getAlpha() < 8;
}

/** The pixel under the point at the given distance from a knob's centre, in
    the direction of a knob angle (0 straight up, growing clockwise). */
juce::Colour pixelAround (const juce::Image& image, float centreX, float centreY, float distance, float angle)
{
    return image.getPixelAt ((int) std::floor (centreX + distance * std::sin (angle)),
                             (int) std::floor (centreY - distance * std::cos (angle)));
}

/** A knob as the pages set one up. */
struct Knob
{
    Knob()
    {
        slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
        slider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
        slider.setRange (0.0, 100.0, 1.0);
        slider.setRotaryParameters (sweepStart, sweepEnd, true);
        slider.setColour (juce::Slider::rotarySliderFillColourId, Palette::knobFill);
        slider.setColour (juce::Slider::rotarySliderOutlineColourId, Palette::knobOutline);
        slider.setLookAndFeel (&lookAndFeel);
    }

    ~Knob() { slider.setLookAndFeel (nullptr); }

    /** Paints the knob the way its page would, through the slider itself. */
    juce::Image paintedAt (double value, int size)
    {
        slider.setBounds (0, 0, size, size);
        slider.setValue (value, juce::dontSendNotification);
        auto image = blankImage (size, size);
        juce::Graphics g (image);
        slider.paintEntireComponent (g, true);
        return image;
    }

    /** Draws straight through the look-and-feel, with a proportion of the sweep. */
    juce::Image drawnAt (float proportion, int size)
    {
        auto image = blankImage (size, size);
        juce::Graphics g (image);
        lookAndFeel.drawRotarySlider (g, 0, 0, size, size, proportion, sweepStart, sweepEnd, slider);
        return image;
    }

    KVCustomLookAndFeel lookAndFeel;
    juce::Slider slider;
};

const juce::Colour restingKnob = Palette::knobFill.withAlpha (0.7f);
} // namespace

//==============================================================================
TEST (LookAndFeelKnob, FullKnobShowsBodyPointerAndARingLitUpToTheValue)
{
    Knob knob;
    const auto image = knob.paintedAt (50.0, 60); // half way: pointer straight up
    const auto at = [&image] (float distance, float angle) { return pixelAround (image, 30.0f, 30.0f, distance, angle); };

    // The ring, from radius 22.4 out to 28: lit in the accent colour up to
    // the value, dark beyond it, and absent outside the knob's sweep.
    const auto beforeValue = 1.75f * pi;
    const auto afterValue = 2.25f * pi;

    EXPECT_TRUE (looksLike (at (23.5f, beforeValue), Palette::accent));
    EXPECT_TRUE (looksLike (at (26.5f, beforeValue), Palette::accent));
    EXPECT_TRUE (looksLike (at (23.5f, afterValue), Palette::knobTrack));
    EXPECT_TRUE (looksLike (at (26.5f, afterValue), Palette::knobTrack));
    EXPECT_TRUE (isBlank (at (26.0f, pi)));
    EXPECT_TRUE (isBlank (at (29.5f, afterValue)));
    EXPECT_TRUE (isBlank (at (21.0f, afterValue)));

    // The body: a circle of radius 18 in the knob colour, dimmed to 0.7
    // while the mouse is elsewhere, about three pixels thick.
    EXPECT_TRUE (looksLike (at (17.5f, 1.5f * pi), restingKnob));
    EXPECT_TRUE (looksLike (at (17.5f, 0.5f * pi), restingKnob));
    EXPECT_TRUE (isBlank (at (15.0f, 1.5f * pi)));
    EXPECT_TRUE (isBlank (at (20.5f, 1.5f * pi)));

    // The pointer: two pixels just left of the upward radius, from 5.6 out
    // to the body, leaving the centre of the knob empty.
    EXPECT_TRUE (looksLike (image.getPixelAt (28, 20), restingKnob));
    EXPECT_TRUE (looksLike (image.getPixelAt (29, 20), restingKnob));
    EXPECT_TRUE (looksLike (image.getPixelAt (29, 15), restingKnob));
    EXPECT_TRUE (isBlank (image.getPixelAt (30, 20)));
    EXPECT_TRUE (isBlank (image.getPixelAt (26, 20)));
    EXPECT_TRUE (isBlank (image.getPixelAt (29, 27)));
    EXPECT_TRUE (isBlank (image.getPixelAt (29, 30)));
}

TEST (LookAndFeelKnob, TurnedKnobMovesTheLitRingAndThePointer)
{
    Knob knob;

    const auto atZero = knob.paintedAt (0.0, 60);
    EXPECT_TRUE (looksLike (pixelAround (atZero, 30.0f, 30.0f, 25.0f, 1.5f * pi), Palette::knobTrack));
    EXPECT_TRUE (looksLike (pixelAround (atZero, 30.0f, 30.0f, 25.0f, 2.5f * pi), Palette::knobTrack));

    const auto atFull = knob.paintedAt (100.0, 60);
    EXPECT_TRUE (looksLike (pixelAround (atFull, 30.0f, 30.0f, 25.0f, 1.5f * pi), Palette::accent));
    EXPECT_TRUE (looksLike (pixelAround (atFull, 30.0f, 30.0f, 25.0f, 2.5f * pi), Palette::accent));

    // At the end of its sweep the pointer lies along half past four,
    // towards the bottom right, and no longer points up.
    EXPECT_TRUE (looksLike (pixelAround (atFull, 30.0f, 30.0f, 11.0f, sweepEnd - 0.1f), restingKnob));
    EXPECT_TRUE (isBlank (atFull.getPixelAt (29, 20)));
}

TEST (LookAndFeelKnob, DisabledKnobIsGreyButStillShowsItsSetting)
{
    Knob knob;
    knob.slider.setEnabled (false);
    const auto image = knob.paintedAt (50.0, 60);

    const juce::Colour grey (0x80808080);
    EXPECT_TRUE (looksLike (image.getPixelAt (29, 20), grey)) << "pointer";
    EXPECT_TRUE (looksLike (image.getPixelAt (28, 20), grey)) << "pointer";

    // The body shrinks to a hairline: nothing solid is left at its old width.
    EXPECT_LT (pixelAround (image, 30.0f, 30.0f, 16.8f, 1.5f * pi).getAlpha(), 0x30);
    EXPECT_LT (pixelAround (image, 30.0f, 30.0f, 19.2f, 1.5f * pi).getAlpha(), 0x30);

    EXPECT_TRUE (looksLike (pixelAround (image, 30.0f, 30.0f, 25.0f, 1.75f * pi), Palette::accent));
    EXPECT_TRUE (looksLike (pixelAround (image, 30.0f, 30.0f, 25.0f, 2.25f * pi), Palette::knobTrack));
}

TEST (LookAndFeelKnob, KnobInADisabledGroupIsGreyToo)
{
    Knob knob;
    juce::Component group;
    group.addAndMakeVisible (knob.slider);
    group.setEnabled (false);

    const auto image = knob.drawnAt (0.5f, 60);
    EXPECT_TRUE (looksLike (image.getPixelAt (29, 20), juce::Colour (0x80808080)));

    group.removeChildComponent (&knob.slider);
}

TEST (LookAndFeelKnob, KnobsUpTo28PixelsGetTheSmallStyle)
{
    Knob knob;

    // 28 x 28, radius 12: one solid shape, a ring of radius 9.6 with a
    // spoke from the very centre, and no track around it.
    const auto small = knob.drawnAt (0.5f, 28);
    EXPECT_TRUE (looksLike (small.getPixelAt (13, 13), restingKnob)) << "spoke at the centre";
    EXPECT_TRUE (looksLike (small.getPixelAt (13, 5), restingKnob)) << "spoke near the rim";
    EXPECT_TRUE (looksLike (pixelAround (small, 14.0f, 14.0f, 9.6f, 0.5f * pi), restingKnob)) << "ring";
    EXPECT_TRUE (isBlank (pixelAround (small, 14.0f, 14.0f, 11.7f, 0.5f * pi))) << "no track";

    // 30 x 30, radius 13: the full style, with an empty centre and the ring.
    const auto full = knob.drawnAt (0.5f, 30);
    EXPECT_TRUE (isBlank (full.getPixelAt (14, 14))) << "empty centre";
    EXPECT_TRUE (looksLike (pixelAround (full, 15.0f, 15.0f, 11.7f, 0.5f * pi), Palette::knobTrack)) << "track";
    EXPECT_TRUE (looksLike (pixelAround (full, 15.0f, 15.0f, 11.7f, 1.5f * pi), Palette::accent)) << "value arc";
}

//==============================================================================
TEST (LookAndFeelPopupMenu, MenuIsDarkWithMarksOnItsFourCorners)
{
    KVPopupMenuLookAndFeel lookAndFeel;
    auto image = blankImage (200, 100);
    {
        juce::Graphics g (image);
        lookAndFeel.drawPopupMenuBackground (g, 200, 100);
    }

    const auto mark = Palette::menuCornerMarks;
    const auto panel = Palette::menuBackground;

    EXPECT_TRUE (looksLike (image.getPixelAt (100, 50), panel));

    // Each mark is a quarter of the height long (25), along the width as
    // well as down the sides.
    EXPECT_TRUE (looksLike (image.getPixelAt (0, 0), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (23, 0), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (27, 0), panel));
    EXPECT_TRUE (looksLike (image.getPixelAt (40, 0), panel));
    EXPECT_TRUE (looksLike (image.getPixelAt (0, 23), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (0, 27), panel));

    EXPECT_TRUE (looksLike (image.getPixelAt (176, 0), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (172, 0), panel));
    EXPECT_TRUE (looksLike (image.getPixelAt (199, 23), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (199, 27), panel));

    EXPECT_TRUE (looksLike (image.getPixelAt (0, 76), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (0, 72), panel));
    EXPECT_TRUE (looksLike (image.getPixelAt (23, 99), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (27, 99), panel));

    EXPECT_TRUE (looksLike (image.getPixelAt (199, 76), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (199, 72), panel));
    EXPECT_TRUE (looksLike (image.getPixelAt (176, 99), mark));
    EXPECT_TRUE (looksLike (image.getPixelAt (172, 99), panel));
}

namespace
{
struct MenuItemPicture
{
    juce::Image image;
    int accentPixels = 0;
    int ownColourPixels = 0;
    int blackPixels = 0;
};

/** One item drawn on the menu's own background, with the colours of its
    pixels counted. */
MenuItemPicture drawMenuItem (KVPopupMenuLookAndFeel& lookAndFeel, bool active, bool highlighted)
{
    MenuItemPicture picture { blankImage (200, 24) };
    const juce::Colour ownColour (0xFFFF2020);
    {
        juce::Graphics g (picture.image);
        lookAndFeel.drawPopupMenuBackground (g, 200, 24);
        lookAndFeel.drawPopupMenuItem (g, { 0, 0, 200, 24 }, false, active, highlighted, false, false,
                                       "Factory Reset", {}, nullptr, &ownColour);
    }

    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 200; ++x)
        {
            const auto pixel = picture.image.getPixelAt (x, y);
            picture.accentPixels += looksLike (pixel, Palette::accent, 24) ? 1 : 0;
            picture.ownColourPixels += pixel.getRed() > 0xC0 && pixel.getGreen() < 0x80 ? 1 : 0;
            picture.blackPixels += pixel.getBrightness() < 0.05f ? 1 : 0;
        }

    return picture;
}
} // namespace

TEST (LookAndFeelPopupMenu, ItemsReadInTheAccentColourEvenWhenDisabled)
{
    KVPopupMenuLookAndFeel lookAndFeel;
    const auto highlightOverPanel = Palette::menuBackground.overlaidWith (juce::Colour (0xBFA4C2CE));

    const auto plain = drawMenuItem (lookAndFeel, true, false);
    EXPECT_GT (plain.accentPixels, 30);
    EXPECT_EQ (plain.ownColourPixels, 0);
    EXPECT_TRUE (looksLike (plain.image.getPixelAt (3, 3), Palette::menuBackground));

    // A disabled item under the mouse: the same accent text, no highlight.
    const auto disabled = drawMenuItem (lookAndFeel, false, true);
    EXPECT_GT (disabled.accentPixels, 30);
    EXPECT_EQ (disabled.ownColourPixels, 0);
    EXPECT_TRUE (looksLike (disabled.image.getPixelAt (3, 3), Palette::menuBackground));

    // An enabled item under the mouse: the framework's light highlight with
    // black text, inside a one-pixel margin.
    const auto highlighted = drawMenuItem (lookAndFeel, true, true);
    EXPECT_TRUE (looksLike (highlighted.image.getPixelAt (3, 3), highlightOverPanel));
    EXPECT_TRUE (looksLike (highlighted.image.getPixelAt (0, 0), Palette::menuCornerMarks));
    EXPECT_TRUE (looksLike (highlighted.image.getPixelAt (100, 23), Palette::menuBackground));
    EXPECT_EQ (highlighted.accentPixels, 0);
    EXPECT_GT (highlighted.blackPixels, 30);
}

TEST (LookAndFeelPopupMenu, SeparatorIsAFaintLineAcrossTheMiddle)
{
    KVPopupMenuLookAndFeel lookAndFeel;
    auto image = blankImage (100, 11);
    {
        juce::Graphics g (image);
        g.fillAll (Palette::menuBackground);
        lookAndFeel.drawPopupMenuItem (g, { 0, 0, 100, 11 }, true, true, false, false, false, {}, {}, nullptr,
                                       nullptr);
    }

    const auto line = Palette::menuBackground.overlaidWith (juce::Colours::black.withAlpha (0.3f));
    EXPECT_TRUE (looksLike (image.getPixelAt (50, 5), line));
    EXPECT_TRUE (looksLike (image.getPixelAt (5, 5), line));
    EXPECT_TRUE (looksLike (image.getPixelAt (94, 5), line));
    EXPECT_TRUE (looksLike (image.getPixelAt (4, 5), Palette::menuBackground)) << "5 pixels free at the left";
    EXPECT_TRUE (looksLike (image.getPixelAt (95, 5), Palette::menuBackground)) << "5 pixels free at the right";
    EXPECT_TRUE (looksLike (image.getPixelAt (50, 4), Palette::menuBackground));
    EXPECT_TRUE (looksLike (image.getPixelAt (50, 6), Palette::menuBackground));
}

//==============================================================================
TEST (LookAndFeelText, ComboBoxesUseASmallCondensedFont)
{
    KVComboxLookAndFeel lookAndFeel;
    juce::ComboBox box;

    box.setSize (80, 20);
    auto font = lookAndFeel.getComboBoxFont (box);
    EXPECT_FLOAT_EQ (font.getHeight(), 11.0f);
    EXPECT_FLOAT_EQ (font.getHorizontalScale(), 0.9f);
    EXPECT_FALSE (font.isBold());
    EXPECT_FALSE (font.isItalic());

    box.setSize (80, 40);
    EXPECT_FLOAT_EQ (lookAndFeel.getComboBoxFont (box).getHeight(), 11.0f);

    box.setSize (80, 12);
    font = lookAndFeel.getComboBoxFont (box);
    EXPECT_NEAR (font.getHeight(), 10.2f, 1.0e-4f);
    EXPECT_FLOAT_EQ (font.getHorizontalScale(), 0.9f);
}

TEST (LookAndFeelText, RangeSliderValueBoxesUseA10PointFont)
{
    KVLinearLookAndFeel lookAndFeel;
    juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::TextBoxRight);
    slider.setLookAndFeel (&lookAndFeel);
    slider.setBounds (0, 0, 120, 20);

    // The value box is a label made by the slider: it is drawn with the
    // slider's look-and-feel.
    juce::Label* valueBox = nullptr;
    for (auto* child : slider.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            valueBox = label;

    ASSERT_NE (valueBox, nullptr);
    const auto font = valueBox->getLookAndFeel().getLabelFont (*valueBox);
    EXPECT_FLOAT_EQ (font.getHeight(), 10.0f);
    EXPECT_FALSE (font.isBold());

    juce::Label other;
    EXPECT_FLOAT_EQ (lookAndFeel.getLabelFont (other).getHeight(), 10.0f);

    slider.setLookAndFeel (nullptr);
}

//==============================================================================
namespace
{
struct RangeSlider
{
    RangeSlider()
    {
        slider.setColour (juce::Slider::trackColourId, Palette::accent);
        slider.setColour (juce::Slider::thumbColourId, juce::Colours::white);
        slider.setColour (juce::Slider::backgroundColourId, juce::Colours::transparentBlack);
    }

    juce::Image draw (int width, int height, float pos, float minPos, float maxPos, juce::Slider::SliderStyle style)
    {
        slider.setSliderStyle (style);
        auto image = blankImage (width, height);
        juce::Graphics g (image);
        lookAndFeel.drawLinearSlider (g, 0, 0, width, height, pos, minPos, maxPos, style, slider);
        return image;
    }

    KVLinearLookAndFeel lookAndFeel;
    juce::Slider slider;
};

const juce::Colour restingThumb = juce::Colours::white.withAlpha (0.7f);
} // namespace

TEST (LookAndFeelLinearSlider, HorizontalRangeHasAThinTrackAndOutwardThumbs)
{
    RangeSlider range;
    const auto image = range.draw (200, 40, 100.0f, 50.0f, 150.0f, juce::Slider::TwoValueHorizontal);

    // The track: 2 pixels high (5 % of 40), 24 pixels below the top, the
    // whole width of the slider.
    for (auto x : { 0, 20, 100, 199 })
    {
        EXPECT_TRUE (isBlank (image.getPixelAt (x, 23))) << x;
        EXPECT_TRUE (looksLike (image.getPixelAt (x, 24), Palette::accent)) << x;
        EXPECT_TRUE (looksLike (image.getPixelAt (x, 25), Palette::accent)) << x;
        EXPECT_TRUE (isBlank (image.getPixelAt (x, 26))) << x;
    }

    // The minimum's thumb points left of its position, the maximum's right.
    EXPECT_TRUE (looksLike (image.getPixelAt (48, 33), restingThumb));
    EXPECT_TRUE (isBlank (image.getPixelAt (51, 33)));
    EXPECT_TRUE (looksLike (image.getPixelAt (151, 33), restingThumb));
    EXPECT_TRUE (isBlank (image.getPixelAt (148, 33)));

    // A two-value slider has no thumb of its own at its current value.
    EXPECT_TRUE (isBlank (image.getPixelAt (100, 15)));
}

TEST (LookAndFeelLinearSlider, SingleValueSliderHasAThumbPointingDownToTheTrack)
{
    RangeSlider range;
    const auto image = range.draw (200, 40, 100.0f, 0.0f, 200.0f, juce::Slider::LinearHorizontal);

    EXPECT_TRUE (looksLike (image.getPixelAt (99, 10), restingThumb));
    EXPECT_TRUE (looksLike (image.getPixelAt (94, 9), restingThumb));
    EXPECT_TRUE (looksLike (image.getPixelAt (105, 9), restingThumb));
    EXPECT_TRUE (isBlank (image.getPixelAt (94, 30)));
    EXPECT_TRUE (isBlank (image.getPixelAt (99, 37)));

    // Disabled, the track fades to 30 % and the thumb to 35 %.
    range.slider.setEnabled (false);
    const auto disabled = range.draw (200, 40, 100.0f, 0.0f, 200.0f, juce::Slider::LinearHorizontal);
    EXPECT_TRUE (looksLike (disabled.getPixelAt (20, 24), Palette::accent.withMultipliedAlpha (0.3f)));
    EXPECT_TRUE (looksLike (disabled.getPixelAt (99, 10), juce::Colours::white.withAlpha (0.35f)));
}

TEST (LookAndFeelLinearSlider, VerticalRangeHasANarrowTrackDownItsMiddle)
{
    RangeSlider range;
    const auto image = range.draw (40, 200, 100.0f, 150.0f, 50.0f, juce::Slider::TwoValueVertical);

    // 40 wide: the track starts 20 - 3 = 17 pixels in and is 4 wide.
    EXPECT_TRUE (isBlank (image.getPixelAt (16, 100)));
    EXPECT_TRUE (looksLike (image.getPixelAt (17, 100), Palette::accent));
    EXPECT_TRUE (looksLike (image.getPixelAt (20, 100), Palette::accent));
    EXPECT_TRUE (isBlank (image.getPixelAt (21, 100)));

    // Thumbs: the minimum's above its position, the maximum's below.
    EXPECT_TRUE (looksLike (image.getPixelAt (15, 148), restingThumb));
    EXPECT_TRUE (isBlank (image.getPixelAt (15, 152)));
    EXPECT_TRUE (looksLike (image.getPixelAt (15, 51), restingThumb));
    EXPECT_TRUE (isBlank (image.getPixelAt (15, 47)));
}
