#include "ui/KVLookAndFeel.h"

#include "ui/Palette.h"

namespace
{
// A knob's radius at or below this gets the plain small style: the ring and
// pointer of the full style would be too crowded to read.
constexpr float smallKnobRadius = 12.0f;

// The ring of a knob is the outer fifth of its radius.
constexpr float ringInnerProportion = 0.8f;

// What a knob shows when it cannot be turned, instead of its own colour.
const juce::Colour disabledKnobColour { 0x80808080 };

bool isHorizontalStyle (juce::Slider::SliderStyle style)
{
    return style == juce::Slider::LinearHorizontal || style == juce::Slider::LinearBar
        || style == juce::Slider::TwoValueHorizontal || style == juce::Slider::ThreeValueHorizontal;
}
} // namespace

//==============================================================================
KVComboxLookAndFeel::~KVComboxLookAndFeel() = default;

juce::Font KVComboxLookAndFeel::getComboBoxFont (juce::ComboBox& box)
{
    // Never larger than 11, and a little narrower than usual: the algorithm
    // names have to fit boxes laid out for the pedal's short labels.
    juce::Font font (juce::jmin (11.0f, (float) box.getHeight() * 0.85f), juce::Font::plain);
    font.setHorizontalScale (0.9f);
    return font;
}

//==============================================================================
KVCustomLookAndFeel::~KVCustomLookAndFeel() = default;

void KVCustomLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                            float sliderPosProportional, float rotaryStartAngle, float rotaryEndAngle,
                                            juce::Slider& slider)
{
    // The halves are whole pixels so that knobs of odd sizes keep the same
    // ring as the next smaller even size.
    const auto radius = (float) (juce::jmin (width / 2, height / 2) - 2);
    const auto centreX = (float) x + (float) width * 0.5f;
    const auto centreY = (float) y + (float) height * 0.5f;
    const auto side = radius * 2.0f;
    const juce::Rectangle<float> square (centreX - radius, centreY - radius, side, side);
    const auto angle = rotaryStartAngle + sliderPosProportional * (rotaryEndAngle - rotaryStartAngle);

    // isEnabled() already answers for the parents too: a page that greys out
    // a whole group greys out its knobs with it.
    const auto enabled = slider.isEnabled();
    const auto hovered = enabled && slider.isMouseOverOrDragging();

    const auto knobColour = enabled
        ? slider.findColour (juce::Slider::rotarySliderFillColourId).withAlpha (hovered ? 1.0f : 0.7f)
        : disabledKnobColour;

    const auto toKnob = juce::AffineTransform::rotation (angle).translated (centreX, centreY);

    if (radius > smallKnobRadius)
    {
        // The body scales with the knob's width, so wide knobs get a smaller
        // body inside the same ring.
        const auto inset = (float) (width / 6);
        const auto bodyRadius = radius - inset;

        g.setColour (knobColour);

        // A hovered knob answers with a finer, brighter line.
        const auto bodyThickness = ! enabled ? 0.3f : (hovered ? 2.0f : 3.0f);
        g.drawEllipse (centreX - bodyRadius, centreY - bodyRadius, bodyRadius * 2.0f, bodyRadius * 2.0f, bodyThickness);

        // Drawn pointing up and then turned: it sits just left of the
        // radius line and ends at the body's edge.
        juce::Path pointer;
        pointer.addRectangle (juce::Rectangle<float> (juce::Point<float> (-2.0f, -0.2f * radius),
                                                      juce::Point<float> (0.0f, inset - radius)));
        g.fillPath (pointer, toKnob);

        // The track and the value arc keep their colours on a disabled knob:
        // the setting stays readable even when it cannot be changed.
        juce::Path track;
        track.addPieSegment (square, rotaryStartAngle, rotaryEndAngle, ringInnerProportion);
        g.setColour (Palette::knobTrack);
        g.fillPath (track);

        juce::Path valueArc;
        valueArc.addPieSegment (square, rotaryStartAngle, angle, ringInnerProportion);
        g.setColour (Palette::accent);
        g.fillPath (valueArc);
    }
    else
    {
        juce::Path knob;
        knob.addEllipse (-0.4f * side, -0.4f * side, 0.8f * side, 0.8f * side);
        juce::PathStrokeType (0.1f * side).createStrokedPath (knob, knob);
        knob.addLineSegment (juce::Line<float> (0.0f, 0.0f, 0.0f, -radius), 0.2f * side);

        g.setColour (knobColour);
        g.fillPath (knob, toKnob);
    }
}

//==============================================================================
KVPopupMenuLookAndFeel::~KVPopupMenuLookAndFeel() = default;

void KVPopupMenuLookAndFeel::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    g.fillAll (Palette::menuBackground);

    // The marks take their length from the height alone, so a wide menu
    // keeps marks of the same length along its top and bottom as down its
    // sides.
    const auto q = (float) (height / 4);
    const auto w = (float) width;
    const auto h = (float) height;
    constexpr float thickness = 2.0f;

    g.setColour (Palette::menuCornerMarks);

    g.drawLine (0.0f, 0.0f, q, 0.0f, thickness);
    g.drawLine (0.0f, 0.0f, 0.0f, q, thickness);

    g.drawLine (w - q, 0.0f, w, 0.0f, thickness);
    g.drawLine (w, 0.0f, w, q, thickness);

    g.drawLine (0.0f, h - q, 0.0f, h, thickness);
    g.drawLine (0.0f, h, q, h, thickness);

    g.drawLine (w, h - q, w, h, thickness);
    g.drawLine (w - q, h, w, h, thickness);
}

void KVPopupMenuLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                                                bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                                                const juce::String& text, const juce::String& shortcutKeyText,
                                                const juce::Drawable* icon, const juce::Colour* /*textColour*/)
{
    if (isSeparator)
    {
        auto r = area.reduced (5, 0);
        r.removeFromTop (juce::roundToInt ((float) r.getHeight() * 0.5f - 0.5f));

        g.setColour (findColour (juce::PopupMenu::textColourId).withAlpha (0.3f));
        g.fillRect (r.removeFromTop (1));
        return;
    }

    auto r = area.reduced (1);

    if (isHighlighted && isActive)
    {
        g.setColour (findColour (juce::PopupMenu::highlightedBackgroundColourId));
        g.fillRect (r);

        g.setColour (findColour (juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        // Every item of our menus reads in the accent colour, whatever
        // colour the item asks for and whether or not it can be chosen.
        g.setColour (Palette::accent);
    }

    r.reduce (juce::jmin (5, area.getWidth() / 20), 0);

    auto font = getPopupMenuFont();
    const auto maxFontHeight = (float) r.getHeight() / 1.3f;

    if (font.getHeight() > maxFontHeight)
        font.setHeight (maxFontHeight);

    g.setFont (font);

    const auto iconArea = r.removeFromLeft (juce::roundToInt (maxFontHeight)).toFloat();

    if (icon != nullptr)
    {
        icon->drawWithin (g, iconArea, juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize,
                          1.0f);
    }
    else if (isTicked)
    {
        const auto tick = getTickShape (1.0f);
        g.fillPath (tick, tick.getTransformToScaleToFit (iconArea.reduced (iconArea.getWidth() / 5.0f, 0.0f), true));
    }

    if (hasSubMenu)
    {
        const auto arrowH = 0.6f * font.getAscent();
        const auto arrowX = (float) r.removeFromRight ((int) arrowH).getX();
        const auto halfH = (float) r.getCentreY();

        juce::Path arrow;
        arrow.startNewSubPath (arrowX, halfH - arrowH * 0.5f);
        arrow.lineTo (arrowX + arrowH * 0.6f, halfH);
        arrow.lineTo (arrowX, halfH + arrowH * 0.5f);

        g.strokePath (arrow, juce::PathStrokeType (2.0f));
    }

    r.removeFromRight (3);
    g.drawFittedText (text, r, juce::Justification::centredLeft, 1);

    if (shortcutKeyText.isNotEmpty())
    {
        auto shortcutFont = font;
        shortcutFont.setHeight (font.getHeight() * 0.75f);
        shortcutFont.setHorizontalScale (0.95f);
        g.setFont (shortcutFont);

        g.drawText (shortcutKeyText, r, juce::Justification::centredRight, true);
    }
}

//==============================================================================
KVLinearLookAndFeel::~KVLinearLookAndFeel() = default;

juce::Font KVLinearLookAndFeel::getLabelFont (juce::Label&)
{
    // The range sliders' value boxes are tiny; so is their text.
    return juce::Font (10.0f, juce::Font::plain);
}

void KVLinearLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                                            float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle style,
                                            juce::Slider& slider)
{
    g.fillAll (slider.findColour (juce::Slider::backgroundColourId));

    const auto fx = (float) x;
    const auto fy = (float) y;
    const auto fw = (float) width;
    const auto fh = (float) height;

    if (style == juce::Slider::LinearBar)
    {
        const juce::Rectangle<float> bar (fx, fy, sliderPos - fx, fh);

        g.setColour (slider.findColour (juce::Slider::thumbColourId));
        g.fillRect (bar);

        g.setColour (slider.findColour (juce::Slider::textBoxTextColourId).withMultipliedAlpha (0.5f));
        g.drawRect (bar, 1.0f);
        return;
    }

    const auto enabled = slider.isEnabled();
    const auto horizontal = isHorizontalStyle (style);

    g.setColour (slider.findColour (juce::Slider::trackColourId).withMultipliedAlpha (enabled ? 1.0f : 0.3f));

    // A thin track leaves the thumbs room to sit on it and still be grabbed.
    if (horizontal)
        g.fillRect (x, y + juce::roundToInt (fh * 0.6f), width, juce::roundToInt (fh * 0.05f));
    else
        g.fillRect (x + juce::roundToInt (fw * 0.5f - juce::jmin (3.0f, fw * 0.1f)), y,
                    juce::roundToInt (juce::jmin (4.0f, fw * 0.2f)), height);

    const auto alpha = ! enabled ? 0.35f : (slider.isMouseOverOrDragging() ? 1.0f : 0.7f);
    const auto fill = slider.findColour (juce::Slider::thumbColourId).withAlpha (alpha);
    const auto outline = juce::Colours::black.withAlpha (enabled ? 0.7f : 0.35f);

    const auto cx = fx + fw * 0.5f;

    if (style == juce::Slider::TwoValueVertical || style == juce::Slider::ThreeValueVertical)
    {
        const auto right = cx + juce::jmin (4.0f, fw * 0.3f);
        const auto left = cx - juce::jmin (8.0f, fw * 0.4f);

        drawTriangle (g, right, minSliderPos, left, minSliderPos - 7.0f, left, minSliderPos, fill, outline);
        drawTriangle (g, right, maxSliderPos, left, maxSliderPos, left, maxSliderPos + 7.0f, fill, outline);
    }
    else if (style == juce::Slider::TwoValueHorizontal || style == juce::Slider::ThreeValueHorizontal)
    {
        const auto top = fy + fh * 0.6f - juce::jmin (4.0f, fh * 0.3f);
        const auto bottom = fy + fh * 0.9f;

        // The two thumbs face away from each other, so the range between
        // them reads as the space between their upright edges.
        drawTriangle (g, minSliderPos, top, minSliderPos - 7.0f, bottom, minSliderPos, bottom, fill, outline);
        drawTriangle (g, maxSliderPos, top, maxSliderPos, bottom, maxSliderPos + 7.0f, bottom, fill, outline);
    }

    if (style == juce::Slider::LinearHorizontal || style == juce::Slider::ThreeValueHorizontal)
    {
        drawTriangle (g, sliderPos, fy + fh * 0.9f, sliderPos - 7.0f, fy + fh * 0.2f, sliderPos + 7.0f, fy + fh * 0.2f,
                      fill, outline);
    }
    else if (style == juce::Slider::LinearVertical || style == juce::Slider::ThreeValueVertical)
    {
        drawTriangle (g, cx - juce::jmin (4.0f, fw * 0.3f), sliderPos, cx + juce::jmin (8.0f, fw * 0.4f),
                      sliderPos - 7.0f, cx + juce::jmin (8.0f, fw * 0.4f), sliderPos + 7.0f, fill, outline);
    }
}

//==============================================================================
void drawTriangle (juce::Graphics& g, float x1, float y1, float x2, float y2, float x3, float y3, juce::Colour fill,
                   juce::Colour outline)
{
    juce::Path triangle;
    triangle.addTriangle (x1, y1, x2, y2, x3, y3);

    g.setColour (fill);
    g.fillPath (triangle);

    g.setColour (outline);
    g.strokePath (triangle, juce::PathStrokeType (0.3f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));
}
