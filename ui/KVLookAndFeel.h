#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The look-and-feels the pages hand to their widgets. Each one changes only
    the drawing it names; everything else stays with its JUCE base class, and
    none of them sets a colour of its own: the pages colour their widgets. */

/** Combo boxes: a small, slightly condensed font, so that long algorithm
    names fit the narrow boxes of the pages. */
class KVComboxLookAndFeel : public juce::LookAndFeel_V4
{
public:
    ~KVComboxLookAndFeel() override;

    juce::Font getComboBoxFont (juce::ComboBox& box) override;
};

/** The rotary knobs of every page: a ring lit up to the current value around
    a round body with a pointer. */
class KVCustomLookAndFeel : public juce::LookAndFeel_V4
{
public:
    ~KVCustomLookAndFeel() override;

    void drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPosProportional,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider) override;
};

/** The "Set", "Import" and "Export" menus: a dark panel with marks on its
    corners and items in the accent colour. */
class KVPopupMenuLookAndFeel : public juce::LookAndFeel_V1
{
public:
    ~KVPopupMenuLookAndFeel() override;

    void drawPopupMenuBackground (juce::Graphics& g, int width, int height) override;

    void drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                            bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                            const juce::String& shortcutKeyText, const juce::Drawable* icon,
                            const juce::Colour* textColour) override;
};

/** The expression range sliders: a thin track with triangular thumbs, and a
    small font for their value boxes. */
class KVLinearLookAndFeel : public juce::LookAndFeel_V1
{
public:
    ~KVLinearLookAndFeel() override;

    juce::Font getLabelFont (juce::Label& label) override;

    void drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos, float minSliderPos,
                           float maxSliderPos, juce::Slider::SliderStyle style, juce::Slider& slider) override;
};

/** Fills the triangle through the three corners and outlines it with a
    hairline, as the linear sliders draw their thumbs. */
void drawTriangle (juce::Graphics& g, float x1, float y1, float x2, float y2, float x3, float y3, juce::Colour fill,
                   juce::Colour outline);
