#include "tools/art/ArtKit.h"

namespace tessel::art
{

namespace
{
juce::StringArray& problemList()
{
    static juce::StringArray problems;
    return problems;
}

float smoothStep (float edge0, float edge1, float x)
{
    auto t = juce::jlimit (0.0f, 1.0f, (x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

// JUCE's radial gradients are circles; squashing the graphics context
// vertically about the centre turns them into ellipses that fit the area.
juce::AffineTransform squashToEllipse (juce::Rectangle<float> area)
{
    return juce::AffineTransform::scale (1.0f, area.getHeight() / area.getWidth(), area.getCentreX(),
                                         area.getCentreY());
}
} // namespace

void reportProblem (const juce::String& problem)
{
    problemList().add (problem);
}

juce::StringArray takeProblems()
{
    auto problems = problemList();
    problemList().clear();
    return problems;
}

//==============================================================================
juce::Font captionFont (float height, bool bold, float tracking)
{
    juce::Font font ("DejaVu Sans", height, bold ? juce::Font::bold : juce::Font::plain);

    if (tracking != 0.0f)
        font = font.withExtraKerningFactor (tracking);

    return font;
}

juce::Result checkTextRenders()
{
    for (auto bold : { false, true })
    {
        auto font = captionFont (20.0f, bold);

        if (font.getStringWidthFloat ("Tessel") <= 0.0f)
            return juce::Result::fail ("the caption font has no glyphs (is fonts-dejavu-core installed?)");

        juce::Image probe (juce::Image::ARGB, 120, 30, true);

        {
            juce::Graphics g (probe);
            g.setColour (juce::Colours::white);
            g.setFont (font);
            g.drawText ("Tessel", probe.getBounds(), juce::Justification::centred, false);
        }

        int inked = 0;

        for (int y = 0; y < probe.getHeight(); ++y)
            for (int x = 0; x < probe.getWidth(); ++x)
                if (probe.getPixelAt (x, y).getAlpha() > 128)
                    ++inked;

        // "Tessel" at 20 px covers a few hundred pixels; a handful means the
        // typeface failed to load and JUCE drew nothing, or only boxes.
        if (inked < 100)
            return juce::Result::fail ("text does not render: " + juce::String (inked)
                                       + " pixels inked for a test caption");
    }

    return juce::Result::ok();
}

float captionWidth (const juce::String& text, float height, bool bold, float tracking, float horizontalScale)
{
    auto font = captionFont (height, bold, tracking).withHorizontalScale (horizontalScale);
    return font.getStringWidthFloat (text) - tracking * font.getHeight() * font.getHorizontalScale();
}

void drawCaption (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area, float height,
                  juce::Colour colour, juce::Justification justification, bool bold, float tracking,
                  float horizontalScale)
{
    auto font = captionFont (height, bold, tracking);

    if (horizontalScale != 1.0f)
        font = font.withHorizontalScale (horizontalScale);

    auto width = font.getStringWidthFloat (text);

    if (font.getHeight() > area.getHeight() + 0.5f)
        reportProblem ("caption \"" + text + "\" is taller than its area");

    // JUCE adds the extra letter spacing after every glyph, the last one too,
    // which would push tracked captions off centre.
    auto trailing = tracking * font.getHeight() * font.getHorizontalScale();
    width -= trailing;

    const auto minimumScale = 0.9f;

    if (width > area.getWidth() / minimumScale)
        reportProblem ("caption \"" + text + "\" does not fit: " + juce::String (width, 1) + " px wide in an area of "
                       + juce::String (area.getWidth(), 1));

    if (justification.testFlags (juce::Justification::horizontallyCentred))
        area = area.translated (trailing * 0.5f, 0.0f);
    else if (justification.testFlags (juce::Justification::right))
        area = area.translated (trailing, 0.0f);

    juce::GlyphArrangement glyphs;
    glyphs.addFittedText (font, text, area.getX(), area.getY(), area.getWidth(), area.getHeight(), justification, 1,
                          minimumScale);
    g.setColour (colour);
    glyphs.draw (g);
}

//==============================================================================
juce::Image makeBrushedTexture (int width, int height, juce::uint32 seed, float strength)
{
    juce::Image texture (juce::Image::ARGB, width, height, true);
    juce::Random random ((juce::int64) seed);

    // Long horizontal streaks come from low-passing white noise along each
    // row; the gain undoes the low-pass's loss of level, so the three layers
    // below mix at roughly the weights written.
    const auto smoothing = 0.96f;
    const auto streakGain = 1.0f / std::sqrt ((1.0f - smoothing) / (1.0f + smoothing));

    juce::Image::BitmapData pixels (texture, juce::Image::BitmapData::writeOnly);

    for (int y = 0; y < height; ++y)
    {
        auto rowTone = random.nextFloat() * 2.0f - 1.0f;
        auto streak = 0.0f;

        // Warm the filter up off-image, or every row would start at zero and
        // the left edge would show a seam.
        for (int i = 0; i < 64; ++i)
            streak = smoothing * streak + (1.0f - smoothing) * (random.nextFloat() * 2.0f - 1.0f);

        for (int x = 0; x < width; ++x)
        {
            streak = smoothing * streak + (1.0f - smoothing) * (random.nextFloat() * 2.0f - 1.0f);
            auto grain = random.nextFloat() * 2.0f - 1.0f;
            auto value = 0.5f * streak * streakGain + 0.3f * rowTone + 0.25f * grain;

            auto alpha = juce::jlimit (0.0f, 1.0f, std::abs (value) * strength);
            pixels.setPixelColour (x, y,
                                   (value > 0.0f ? juce::Colours::white : juce::Colours::black).withAlpha (alpha));
        }
    }

    return texture;
}

void drawBrushedTexture (juce::Graphics& g, juce::Rectangle<float> area, juce::uint32 seed, float strength)
{
    auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();

    if (scale <= 1.0f)
    {
        auto whole = area.getSmallestIntegerContainer();
        g.drawImageAt (makeBrushedTexture (whole.getWidth(), whole.getHeight(), seed, strength), whole.getX(),
                       whole.getY());
        return;
    }

    // Made at picture resolution and drawn back through the inverse scale,
    // so each grain pixel lands on one pixel of the picture.
    auto whole = (area * scale).getSmallestIntegerContainer();
    juce::Graphics::ScopedSaveState state (g);
    g.addTransform (juce::AffineTransform::scale (1.0f / scale));
    g.drawImageAt (makeBrushedTexture (whole.getWidth(), whole.getHeight(), seed, strength), whole.getX(),
                   whole.getY());
}

void drawShadow (juce::Graphics& g, const juce::Path& shape, juce::Colour colour, float radius,
                 juce::Point<float> offset)
{
    // DropShadow blurs at the resolution it is drawn in; undoing the page
    // scale first keeps the blur as smooth as the rest of the picture.
    auto scale = juce::jmax (1.0f, g.getInternalContext().getPhysicalPixelScaleFactor());
    juce::Graphics::ScopedSaveState state (g);
    g.addTransform (juce::AffineTransform::scale (1.0f / scale));

    juce::Path scaled (shape);
    scaled.applyTransform (juce::AffineTransform::scale (scale));
    juce::DropShadow (colour, juce::jmax (1, juce::roundToInt (radius * scale)), (offset * scale).roundToInt())
        .drawForPath (g, scaled);
}

void drawInnerShadow (juce::Graphics& g, const juce::Path& shape, juce::Colour colour, float radius,
                      juce::Point<float> offset)
{
    // The shadow of everything round the shape, seen only inside it.
    juce::Path surround;
    surround.addRectangle (shape.getBounds().expanded (radius * 2.0f + offset.getDistanceFromOrigin() + 2.0f));
    surround.addPath (shape);
    surround.setUsingNonZeroWinding (false);

    juce::Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (shape);
    drawShadow (g, surround, colour, radius, offset);
}

void drawPanelBackground (juce::Graphics& g, juce::Rectangle<float> area, const PanelStyle& style)
{
    g.setGradientFill (juce::ColourGradient::vertical (style.top, style.bottom, area));
    g.fillRect (area);

    if (style.textureStrength > 0.0f)
        drawBrushedTexture (g, area, style.seed, style.textureStrength);

    if (style.vignette > 0.0f)
        drawVignette (g, area, style.vignette);
}

void drawGlow (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour)
{
    juce::Graphics::ScopedSaveState state (g);
    g.addTransform (squashToEllipse (area));

    auto centre = area.getCentre();
    auto radius = area.getWidth() * 0.5f;

    juce::ColourGradient gradient (colour, centre, colour.withAlpha (0.0f), centre.translated (radius, 0.0f), true);
    gradient.addColour (0.35, colour.withMultipliedAlpha (0.55f));
    gradient.addColour (0.7, colour.withMultipliedAlpha (0.15f));
    g.setGradientFill (gradient);
    g.fillEllipse (juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre));
}

void drawVignette (juce::Graphics& g, juce::Rectangle<float> area, float darkness)
{
    juce::Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (area.getSmallestIntegerContainer());
    g.addTransform (squashToEllipse (area));

    // In the squashed space the corners lie on a circle of this radius.
    auto centre = area.getCentre();
    auto cornerRadius = area.getWidth() * 0.5f * juce::MathConstants<float>::sqrt2;

    auto shade = juce::Colours::black.withAlpha (darkness);
    juce::ColourGradient gradient (shade.withAlpha (0.0f), centre, shade, centre.translated (cornerRadius, 0.0f), true);
    gradient.addColour (0.45, shade.withAlpha (0.0f));
    gradient.addColour (0.75, shade.withMultipliedAlpha (0.4f));
    g.setGradientFill (gradient);
    g.fillRect (juce::Rectangle<float> (cornerRadius * 2.0f, cornerRadius * 2.0f).withCentre (centre));
}

void drawDotGrid (juce::Graphics& g, juce::Rectangle<float> area, float spacing, juce::Colour colour)
{
    auto centre = area.getCentre();
    auto halfWidth = area.getWidth() * 0.5f;
    auto halfHeight = area.getHeight() * 0.5f;

    // Start from the centre so the grid sits symmetrically in the area.
    auto firstX = centre.x - std::floor (halfWidth / spacing) * spacing;
    auto firstY = centre.y - std::floor (halfHeight / spacing) * spacing;

    for (auto y = firstY; y <= area.getBottom(); y += spacing)
    {
        for (auto x = firstX; x <= area.getRight(); x += spacing)
        {
            auto dx = (x - centre.x) / halfWidth;
            auto dy = (y - centre.y) / halfHeight;
            auto fade = 1.0f - smoothStep (0.25f, 1.0f, std::sqrt (dx * dx + dy * dy));

            if (fade <= 0.0f)
                continue;

            g.setColour (colour.withMultipliedAlpha (fade));
            g.fillEllipse (x - 0.7f, y - 0.7f, 1.4f, 1.4f);
        }
    }
}

void drawAccentLine (juce::Graphics& g, float x1, float x2, float y, juce::Colour colour, float thickness)
{
    juce::ColourGradient gradient (colour.withAlpha (0.0f), x1, y, colour.withAlpha (0.0f), x2, y, false);
    gradient.addColour (0.2, colour);
    gradient.addColour (0.8, colour);
    g.setGradientFill (gradient);
    g.fillRect (juce::Rectangle<float> (x1, y - thickness * 0.5f, x2 - x1, thickness));
}

void drawVerticalAccentLine (juce::Graphics& g, float x, float y1, float y2, juce::Colour colour, float thickness)
{
    juce::ColourGradient gradient (colour.withAlpha (0.0f), x, y1, colour.withAlpha (0.0f), x, y2, false);
    gradient.addColour (0.2, colour);
    gradient.addColour (0.8, colour);
    g.setGradientFill (gradient);
    g.fillRect (juce::Rectangle<float> (x - thickness * 0.5f, y1, thickness, y2 - y1));
}

void drawCornerMarks (juce::Graphics& g, juce::Rectangle<float> area, float length, juce::Colour colour,
                      float thickness)
{
    juce::Path marks;
    auto l = area.getX(), r = area.getRight(), t = area.getY(), b = area.getBottom();

    marks.startNewSubPath (l, t + length);
    marks.lineTo (l, t);
    marks.lineTo (l + length, t);
    marks.startNewSubPath (r - length, t);
    marks.lineTo (r, t);
    marks.lineTo (r, t + length);
    marks.startNewSubPath (r, b - length);
    marks.lineTo (r, b);
    marks.lineTo (r - length, b);
    marks.startNewSubPath (l + length, b);
    marks.lineTo (l, b);
    marks.lineTo (l, b - length);

    g.setColour (colour);
    g.strokePath (marks, juce::PathStrokeType (thickness, juce::PathStrokeType::mitered, juce::PathStrokeType::square));
}

//==============================================================================
void drawFramedBox (juce::Graphics& g, juce::Rectangle<float> area, const juce::String& caption, float captionHeight,
                    float cornerSize)
{
    g.setColour (Palette::menuBackground.withAlpha (0.35f));
    g.fillRoundedRectangle (area, cornerSize);

    auto captionWidth = captionFont (captionHeight, true, 0.08f).getStringWidthFloat (caption);
    juce::Rectangle<float> captionArea (area.getX() + cornerSize + 10.0f, area.getY() - captionHeight * 0.5f,
                                        captionWidth + 2.0f, captionHeight);

    {
        // The frame stops short of the caption rather than running behind it.
        juce::Graphics::ScopedSaveState state (g);
        g.excludeClipRegion (captionArea.expanded (6.0f, 0.0f).getSmallestIntegerContainer());
        g.setColour (Palette::comboOutline);
        g.drawRoundedRectangle (area, cornerSize, 1.0f);
    }

    drawCaption (g, caption, captionArea, captionHeight, Palette::accent, juce::Justification::centredLeft, true,
                 0.08f);
}

void drawRoundedButton (juce::Graphics& g, juce::Rectangle<float> area, const juce::String& caption,
                        const ButtonStyle& style)
{
    auto shapeArea = area.reduced (style.glowRadius);
    juce::Path shape;
    shape.addRoundedRectangle (shapeArea, style.cornerSize);

    // Glow: widening, fading strokes of the outline. Their inner halves are
    // covered by the fill, so only the outer halo remains.
    for (int i = (int) style.glowRadius; i >= 1; --i)
    {
        g.setColour (style.outline.withAlpha (0.07f));
        g.strokePath (shape, juce::PathStrokeType ((float) i * 2.0f));
    }

    g.setGradientFill (juce::ColourGradient::vertical (Shades::buttonTop, Shades::buttonBottom, shapeArea));
    g.fillPath (shape);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (shape);
        drawBrushedTexture (g, shapeArea, 0xb077, 0.05f);

        // A lighter upper half reads as a slightly domed face.
        g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::white.withAlpha (0.07f),
                                                           juce::Colours::white.withAlpha (0.0f),
                                                           shapeArea.withTrimmedBottom (shapeArea.getHeight() * 0.5f)));
        g.fillRect (shapeArea.withTrimmedBottom (shapeArea.getHeight() * 0.5f));
    }

    g.setColour (style.outline);
    g.strokePath (shape, juce::PathStrokeType (1.5f));

    g.setColour (juce::Colours::white.withAlpha (0.10f));
    juce::Path innerEdge;
    innerEdge.addRoundedRectangle (shapeArea.reduced (2.0f), juce::jmax (0.0f, style.cornerSize - 2.0f));
    g.strokePath (innerEdge, juce::PathStrokeType (1.0f));

    auto padding = style.captionPadding < 0.0f ? style.cornerSize : style.captionPadding;
    drawCaption (g, caption, shapeArea.reduced (padding, 0.0f), style.captionHeight, style.text,
                 juce::Justification::centred, true, 0.02f, style.captionScale);
}

//==============================================================================
void drawUsbPlug (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour)
{
    auto shell = area.removeFromRight (area.getWidth() * 0.42f).reduced (0.0f, area.getHeight() * 0.14f);
    auto grip = area;

    // The moulded grip narrows towards the lead, like the real thing.
    juce::Path body;
    body.startNewSubPath (grip.getRight(), grip.getY());
    body.lineTo (grip.getX() + grip.getWidth() * 0.3f, grip.getY());
    body.quadraticTo (grip.getX(), grip.getY(), grip.getX(), grip.getCentreY() - grip.getHeight() * 0.2f);
    body.lineTo (grip.getX(), grip.getCentreY() + grip.getHeight() * 0.2f);
    body.quadraticTo (grip.getX(), grip.getBottom(), grip.getX() + grip.getWidth() * 0.3f, grip.getBottom());
    body.lineTo (grip.getRight(), grip.getBottom());
    body.closeSubPath();

    g.setColour (Palette::knobOutline);
    g.fillPath (body);
    g.setColour (colour);
    g.strokePath (body, juce::PathStrokeType (1.0f));

    // Ridges on the grip.
    for (int i = 1; i <= 3; ++i)
    {
        auto x = grip.getX() + grip.getWidth() * (0.35f + 0.15f * (float) i);
        g.setColour (colour.withMultipliedAlpha (0.45f));
        g.drawLine (x, grip.getY() + 3.0f, x, grip.getBottom() - 3.0f, 1.0f);
    }

    g.setColour (colour);
    g.drawRect (shell, 1.0f);

    // The two windows in the metal shell.
    auto windowSize = juce::jmax (1.5f, shell.getHeight() * 0.22f);

    for (auto fraction : { 0.35f, 0.7f })
        g.fillRect (
            juce::Rectangle<float> (windowSize, windowSize)
                .withCentre ({ shell.getX() + shell.getWidth() * fraction, shell.getY() + shell.getHeight() * 0.32f }));
}

void drawPedalSketch (juce::Graphics& g, juce::Rectangle<float> body, const juce::String& label, int numKnobs,
                      bool ledLit)
{
    const auto w = body.getWidth();
    const auto h = body.getHeight();
    const auto corner = w * 0.09f;

    // Jacks stick out of the sides at the height of the knobs, USB out of the top.
    {
        g.setColour (Palette::comboOutline.withAlpha (0.8f));
        auto jackY = body.getY() + h * 0.26f;
        auto jack = juce::Rectangle<float> (w * 0.07f, h * 0.07f);
        g.drawRect (jack.withPosition (body.getX() - jack.getWidth(), jackY), 1.0f);
        g.drawRect (jack.withPosition (body.getRight(), jackY), 1.0f);

        auto usb = juce::Rectangle<float> (w * 0.2f, h * 0.035f);
        g.drawRect (usb.withCentre ({ body.getCentreX(), body.getY() - usb.getHeight() * 0.5f }), 1.0f);
    }

    {
        juce::Path outline;
        outline.addRoundedRectangle (body, corner);
        juce::DropShadow (juce::Colours::black.withAlpha (0.6f), 14, { 0, 6 }).drawForPath (g, outline);
    }

    g.setGradientFill (juce::ColourGradient::vertical (Shades::pedalTop, Shades::pedalBottom, body));
    g.fillRoundedRectangle (body, corner);

    {
        juce::Graphics::ScopedSaveState state (g);
        juce::Path outline;
        outline.addRoundedRectangle (body, corner);
        g.reduceClipRegion (outline);
        drawBrushedTexture (g, body, (juce::uint32) label.hashCode(), 0.06f);
    }

    g.setColour (Palette::comboOutline);
    g.drawRoundedRectangle (body, corner, 1.2f);
    g.setColour (juce::Colours::white.withAlpha (0.06f));
    g.drawRoundedRectangle (body.reduced (3.0f), corner * 0.7f, 1.0f);

    // Knobs, each with its track and a value arc, turned to different settings
    // so the row does not look stamped out.
    const auto knobRadius = juce::jmin (w / ((float) numKnobs * 3.7f), h * 0.075f);
    const auto knobY = body.getY() + h * 0.2f;
    const auto startAngle = juce::MathConstants<float>::pi * -0.75f;
    const auto endAngle = juce::MathConstants<float>::pi * 0.75f;
    const float settings[] = { 0.62f, 0.35f, 0.8f, 0.5f };

    for (int i = 0; i < numKnobs; ++i)
    {
        auto x = body.getX() + w * ((float) i + 0.5f) / (float) numKnobs;
        auto angle = startAngle + (endAngle - startAngle) * settings[i % 4];
        auto trackRadius = knobRadius + 2.5f;

        juce::Path track;
        track.addCentredArc (x, knobY, trackRadius, trackRadius, 0.0f, startAngle, endAngle, true);
        g.setColour (Palette::knobTrack.brighter (0.3f));
        g.strokePath (track, juce::PathStrokeType (1.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

        juce::Path value;
        value.addCentredArc (x, knobY, trackRadius, trackRadius, 0.0f, startAngle, angle, true);
        g.setColour (Palette::knobFill);
        g.strokePath (value, juce::PathStrokeType (1.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

        auto knob = juce::Rectangle<float> (knobRadius * 2.0f, knobRadius * 2.0f).withCentre ({ x, knobY });
        g.setColour (Palette::knobOutline);
        g.fillEllipse (knob);
        g.setColour (Palette::comboOutline);
        g.drawEllipse (knob, 1.0f);

        auto tip = juce::Point<float> (x, knobY).getPointOnCircumference (knobRadius * 0.8f, angle);
        g.setColour (Palette::lightText);
        g.drawLine ({ { x, knobY }, tip }, 1.4f);
    }

    // The LED, lit or dark.
    {
        auto led =
            juce::Rectangle<float> (w * 0.07f, w * 0.07f).withCentre ({ body.getCentreX(), body.getY() + h * 0.43f });

        if (ledLit)
        {
            drawGlow (g, led.withSizeKeepingCentre (led.getWidth() * 6.0f, led.getWidth() * 6.0f),
                      Palette::progressBar.withAlpha (0.35f));
            g.setColour (Palette::progressBar);
        }
        else
        {
            g.setColour (Palette::knobTrack);
        }

        g.fillEllipse (led);
        g.setColour (Palette::comboOutline);
        g.drawEllipse (led, 0.8f);
    }

    // The footswitch: a ring round a domed cap.
    {
        auto centre = juce::Point<float> (body.getCentreX(), body.getY() + h * 0.63f);
        auto ring = juce::Rectangle<float> (w * 0.34f, w * 0.34f).withCentre (centre);
        auto cap = ring.reduced (ring.getWidth() * 0.17f);

        g.setColour (Palette::comboOutline.withAlpha (0.9f));
        g.drawEllipse (ring, 1.2f);
        g.setGradientFill (juce::ColourGradient (Palette::selectedRow, cap.getCentreX(), cap.getY(),
                                                 Palette::knobOutline, cap.getCentreX(), cap.getBottom(), false));
        g.fillEllipse (cap);
        g.setColour (Palette::accent.withAlpha (0.7f));
        g.drawEllipse (cap, 1.0f);
    }

    auto labelArea = juce::Rectangle<float> (body.getX(), body.getY() + h * 0.8f, w, h * 0.13f);
    drawCaption (g, label, labelArea, juce::jmin (labelArea.getHeight(), 14.0f), Palette::accent,
                 juce::Justification::centred, true, 0.2f);
}

//==============================================================================
void scaleToPage (juce::Graphics& g, juce::Rectangle<float> picture, juce::Rectangle<float> page)
{
    g.addTransform (juce::AffineTransform::translation (-page.getX(), -page.getY())
                        .scaled (picture.getWidth() / page.getWidth(), picture.getHeight() / page.getHeight())
                        .translated (picture.getX(), picture.getY()));
}

namespace
{
juce::Path makeDiamond (juce::Point<float> centre, float halfDiagonal)
{
    juce::Path diamond;
    diamond.startNewSubPath (centre.x, centre.y - halfDiagonal);
    diamond.lineTo (centre.x + halfDiagonal, centre.y);
    diamond.lineTo (centre.x, centre.y + halfDiagonal);
    diamond.lineTo (centre.x - halfDiagonal, centre.y);
    diamond.closeSubPath();
    return diamond;
}

// A recess cut into the panel, lit from above: a chamfer that is dark along
// the top and catches the light along the bottom, a dark floor, and the
// shadow the upper edge throws into it.
void drawRecess (juce::Graphics& g, const juce::Path& shape, const juce::Path& chamfer, juce::Colour floorTop,
                 juce::Colour floorBottom, float shadowRadius)
{
    g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::black.withAlpha (0.55f),
                                                       juce::Colours::white.withAlpha (0.09f), chamfer.getBounds()));
    g.fillPath (chamfer);

    g.setGradientFill (juce::ColourGradient::vertical (floorTop, floorBottom, shape.getBounds()));
    g.fillPath (shape);

    drawInnerShadow (g, shape, juce::Colours::black.withAlpha (0.85f), shadowRadius, { 0.0f, shadowRadius * 0.45f });
}

float knobWellRadius (const KnobDial& dial)
{
    return dial.radius + 4.5f;
}
} // namespace

void drawTesselMark (juce::Graphics& g, juce::Rectangle<float> square)
{
    auto centre = square.getCentre();
    auto half = square.getWidth() * 0.5f;
    auto gap = half * 0.07f;
    auto tile = half * 0.5f - gap;

    const juce::Point<float> offsets[] = { { 0.0f, -1.0f }, { 1.0f, 0.0f }, { 0.0f, 1.0f }, { -1.0f, 0.0f } };

    for (int i = 0; i < 4; ++i)
    {
        auto diamond = makeDiamond (centre + offsets[i] * (half * 0.5f), tile);

        if (i == 0)
        {
            drawShadow (g, diamond, Palette::progressBar.withAlpha (0.55f), half * 0.3f, {});
            g.setGradientFill (juce::ColourGradient::vertical (Shades::litTop, Palette::knobFill, diamond.getBounds()));
            g.fillPath (diamond);
        }
        else
        {
            g.setColour (Palette::knobTrack.withAlpha (0.8f));
            g.fillPath (diamond);
            g.setColour (Palette::accent.withAlpha (0.85f));
            g.strokePath (diamond, juce::PathStrokeType (half * 0.06f, juce::PathStrokeType::mitered));
        }
    }
}

void drawTitledPanel (juce::Graphics& g, juce::Rectangle<float> page, const juce::String& title, float keepClearFrom,
                      juce::uint32 seed)
{
    PanelStyle style;
    style.seed = seed;
    drawPanelBackground (g, page, style);

    // The title bar is 54 high: the mark and the two lines of the logo share
    // its middle, and the title is set large beside them.
    const auto barBottom = page.getY() + 54.0f;
    const auto left = page.getX() + 20.0f;
    const auto top = page.getY() + 12.0f;

    drawGlow (g, { left - 60.0f, top - 60.0f, 340.0f, 150.0f }, Palette::accent.withAlpha (0.10f));
    drawTesselMark (g, { left, top + 1.0f, 28.0f, 28.0f });

    const auto textLeft = left + 36.0f;
    const auto makerHeight = 10.0f, makerTracking = 0.42f;
    const auto productHeight = 20.0f;
    auto logoWidth =
        juce::jmax (captionWidth ("KORVEL", makerHeight, true, makerTracking), captionWidth ("Tessel", productHeight));

    drawCaption (g, "KORVEL", { textLeft + 1.0f, top, logoWidth + 2.0f, 11.0f }, makerHeight, Palette::accent,
                 juce::Justification::centredLeft, true, makerTracking);
    drawCaption (g, "Tessel", { textLeft, top + 10.0f, logoWidth + 2.0f, 21.0f }, productHeight, Palette::lightText,
                 juce::Justification::centredLeft);

    const auto dividerX = textLeft + logoWidth + 16.0f;
    drawVerticalAccentLine (g, dividerX, top - 2.0f, top + 33.0f, Palette::comboOutline, 1.0f);

    const auto titleHeight = 30.0f, titleTracking = 0.14f;
    auto titleWidth = captionWidth (title, titleHeight, true, titleTracking);
    juce::Rectangle<float> titleArea (dividerX + 15.0f, top - 1.0f, titleWidth + 4.0f, 32.0f);

    if (titleArea.getRight() > keepClearFrom - 20.0f)
        reportProblem ("page title \"" + title + "\" runs into the version label");

    drawGlow (g, titleArea.expanded (30.0f, 14.0f), Palette::progressBar.withAlpha (0.10f));
    drawCaption (g, title, titleArea, titleHeight, Palette::lightText, juce::Justification::centredLeft, true,
                 titleTracking);

    drawAccentLine (g, page.getX() + 14.0f, page.getRight() - 14.0f, barBottom + 0.5f,
                    Palette::comboOutline.withAlpha (0.8f));
    drawCornerMarks (g, page.reduced (6.0f), 12.0f, Palette::menuCornerMarks.withAlpha (0.55f), 1.25f);
}

void drawControlDeck (juce::Graphics& g, juce::Rectangle<float> area)
{
    const auto corner = 10.0f;
    juce::Path plate;
    plate.addRoundedRectangle (area, corner);

    drawShadow (g, plate, juce::Colours::black.withAlpha (0.6f), 10.0f, { 0.0f, 4.0f });

    g.setGradientFill (juce::ColourGradient::vertical (Shades::deckTop, Shades::deckBottom, area));
    g.fillPath (plate);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (plate);
        drawBrushedTexture (g, area, 0xdec4, 0.05f);

        // The light falls from above, brightest along the top edge.
        auto sheen = area.withHeight (area.getHeight() * 0.45f);
        g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::white.withAlpha (0.045f),
                                                           juce::Colours::white.withAlpha (0.0f), sheen));
        g.fillRect (sheen);
    }

    g.setColour (Palette::comboOutline.withAlpha (0.5f));
    g.drawRoundedRectangle (area, corner, 0.8f);

    g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::white.withAlpha (0.10f),
                                                       juce::Colours::white.withAlpha (0.0f),
                                                       area.withHeight (area.getHeight() * 0.5f)));
    g.drawRoundedRectangle (area.reduced (1.2f), corner - 1.2f, 0.6f);
}

namespace
{
const auto controlCaptionFontHeight = 12.5f, controlCaptionTracking = 0.12f;
}

void drawControlCaption (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area,
                         juce::Justification justification)
{
    drawCaption (g, text, area, controlCaptionFontHeight, Palette::accent, justification, true, controlCaptionTracking);
}

juce::Rectangle<float> controlCaptionBounds (const juce::String& text, juce::Rectangle<float> area,
                                             juce::Justification justification)
{
    return captionBounds (text, area, controlCaptionFontHeight, justification, true, controlCaptionTracking);
}

KnobDial knobDial (juce::Rectangle<float> knobBounds, juce::Point<float> valueBoxSize)
{
    // The same sums as the knobs' look-and-feel: the slider gives the dial
    // its bounds less the value box, the radius comes from integer halves,
    // and the value box is centred across the bottom.
    auto width = juce::roundToInt (knobBounds.getWidth());
    auto height = juce::roundToInt (knobBounds.getHeight() - valueBoxSize.y);
    auto boxWidth = juce::roundToInt (valueBoxSize.x);

    KnobDial dial;
    dial.centre = { knobBounds.getX() + (float) width * 0.5f, knobBounds.getY() + (float) height * 0.5f };
    dial.radius = (float) (juce::jmin (width / 2, height / 2) - 2);
    dial.valueBox = { knobBounds.getX() + (float) ((width - boxWidth) / 2), knobBounds.getBottom() - valueBoxSize.y,
                      valueBoxSize.x, valueBoxSize.y };
    return dial;
}

juce::Rectangle<float> knobCaptionArea (juce::Rectangle<float> knobBounds, juce::Point<float> valueBoxSize)
{
    auto dial = knobDial (knobBounds, valueBoxSize);
    auto wellTop = dial.centre.y - knobWellRadius (dial) - 1.5f;
    return { dial.centre.x - 50.0f, wellTop - 1.5f - controlCaptionHeight, 100.0f, controlCaptionHeight };
}

void drawKnobWell (juce::Graphics& g, juce::Rectangle<float> knobBounds, const juce::String& caption,
                   juce::Point<float> valueBoxSize)
{
    auto dial = knobDial (knobBounds, valueBoxSize);
    auto wellRadius = knobWellRadius (dial);
    auto wellCircle = juce::Rectangle<float> (wellRadius * 2.0f, wellRadius * 2.0f).withCentre (dial.centre);

    // The well and the window for the value box are one recess, so the
    // number reads as part of its knob and not of whatever is below.
    auto window = dial.valueBox.reduced (7.0f, 2.5f);

    juce::Path well;
    well.addEllipse (wellCircle);
    well.addRoundedRectangle (window, window.getHeight() * 0.5f);

    juce::Path chamfer;
    chamfer.addEllipse (wellCircle.expanded (1.5f));
    chamfer.addRoundedRectangle (window.expanded (1.5f), window.getHeight() * 0.5f + 1.5f);

    drawRecess (g, well, chamfer, Shades::wellTop, Shades::wellBottom, 4.0f);

    // A faint ring where the knob's own track ends, so the dial sits in a
    // bed rather than floating on black.
    g.setColour (Palette::knobTrack.withAlpha (0.9f));
    g.drawEllipse (
        juce::Rectangle<float> (dial.radius * 2.0f + 2.4f, dial.radius * 2.0f + 2.4f).withCentre (dial.centre), 0.8f);

    // Eleven scale dots over the knob's travel (the slider's default, from
    // 1.2 pi to 2.8 pi clockwise from twelve o'clock), bright at the ends and
    // in the middle.
    const auto startAngle = juce::MathConstants<float>::pi * 1.2f;
    const auto endAngle = juce::MathConstants<float>::pi * 2.8f;
    const auto dotRadius = (dial.radius + 1.2f + wellRadius) * 0.5f;

    for (int i = 0; i <= 10; ++i)
    {
        auto angle = startAngle + (endAngle - startAngle) * (float) i / 10.0f;
        auto major = i == 0 || i == 5 || i == 10;
        auto size = major ? 1.6f : 1.1f;
        auto position = dial.centre.getPointOnCircumference (dotRadius, angle);
        g.setColour (major ? Palette::lightText.withAlpha (0.85f) : Palette::accent.withAlpha (0.55f));
        g.fillEllipse (juce::Rectangle<float> (size, size).withCentre (position));
    }

    drawControlCaption (g, caption, knobCaptionArea (knobBounds, valueBoxSize));
}

void drawSwitchWell (juce::Graphics& g, juce::Rectangle<float> switchBounds, juce::Rectangle<float> plate)
{
    if (! plate.isEmpty())
    {
        juce::Path shape, chamfer;
        shape.addRoundedRectangle (plate, 8.0f);
        chamfer.addRoundedRectangle (plate.expanded (1.5f), 9.5f);
        drawRecess (g, shape, chamfer, Shades::deckBottom.darker (0.6f), Shades::deckBottom.darker (0.25f), 3.0f);
    }

    auto slot = switchBounds.expanded (2.0f);
    auto corner = juce::jmin (slot.getWidth(), slot.getHeight()) * 0.5f;
    juce::Path shape, chamfer;
    shape.addRoundedRectangle (slot, corner);
    chamfer.addRoundedRectangle (slot.expanded (1.2f), corner + 1.2f);
    drawRecess (g, shape, chamfer, Shades::wellTop, Shades::wellBottom, 2.5f);
}

void drawListFrame (juce::Graphics& g, juce::Rectangle<float> frame, juce::Rectangle<float> well,
                    const juce::String& heading, juce::Justification headingSide)
{
    const auto corner = 7.0f;
    juce::Path outer;
    outer.addRoundedRectangle (frame, corner);

    drawShadow (g, outer, juce::Colours::black.withAlpha (0.55f), 8.0f, { 0.0f, 3.0f });

    g.setGradientFill (juce::ColourGradient::vertical (Shades::deckTop, Shades::deckBottom, frame));
    g.fillPath (outer);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (outer);
        drawBrushedTexture (g, frame, 0x11575u ^ (juce::uint32) heading.hashCode(), 0.05f);

        auto bar = frame.withBottom (well.getY());
        g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::white.withAlpha (0.06f),
                                                           juce::Colours::white.withAlpha (0.0f), bar));
        g.fillRect (bar);
    }

    g.setColour (Palette::comboOutline.withAlpha (0.6f));
    g.strokePath (outer, juce::PathStrokeType (0.8f));

    // The well's corners follow the frame's, less the border between them.
    auto wellCorner = juce::jmax (2.0f, corner - (well.getX() - frame.getX()));
    juce::Path inner, chamfer;
    inner.addRoundedRectangle (well, wellCorner);
    chamfer.addRoundedRectangle (well.expanded (1.0f), wellCorner + 1.0f);
    drawRecess (g, inner, chamfer, Shades::wellTop, Shades::wellBottom, 5.0f);

    g.setColour (Palette::comboOutline.withAlpha (0.3f));
    g.strokePath (inner, juce::PathStrokeType (0.6f));

    // The heading keeps the same distance from the top of every frame, so
    // the headings of boxes side by side line up whatever their bars hold.
    const auto headingHeight = 13.0f, headingTracking = 0.06f;
    const auto tileSize = 7.0f, rowHeight = 15.0f;
    auto textWidth = captionWidth (heading, headingHeight, true, headingTracking);
    auto rowWidth = tileSize + 6.0f + textWidth;
    auto rowTop = frame.getY() + 4.0f;
    auto rowLeft =
        headingSide.testFlags (juce::Justification::right) ? frame.getRight() - 10.0f - rowWidth : frame.getX() + 10.0f;

    if (rowTop + rowHeight > well.getY())
        reportProblem ("heading \"" + heading + "\" has no room above its well");

    auto tile = makeDiamond ({ rowLeft + tileSize * 0.5f, rowTop + rowHeight * 0.5f }, tileSize * 0.5f);
    drawShadow (g, tile, Palette::progressBar.withAlpha (0.45f), 2.5f, {});
    g.setGradientFill (juce::ColourGradient::vertical (Shades::litTop, Palette::knobFill, tile.getBounds()));
    g.fillPath (tile);

    drawCaption (g, heading, { rowLeft + tileSize + 6.0f, rowTop, textWidth + 2.0f, rowHeight }, headingHeight,
                 Palette::lightText, juce::Justification::centredLeft, true, headingTracking);
}

void drawLabelWindow (juce::Graphics& g, juce::Rectangle<float> labelBounds)
{
    // As wide as the label, whose text nearly fills it, but no wider: the
    // Set button follows right after it on the effect pages. The label's
    // height has room to spare round its one line.
    const auto window = labelBounds.reduced (0.0f, 4.0f);
    const auto corner = 6.0f;

    juce::Path shape, chamfer;
    shape.addRoundedRectangle (window, corner);
    chamfer.addRoundedRectangle (window.expanded (1.5f), corner + 1.5f);
    drawRecess (g, shape, chamfer, Shades::wellTop, Shades::wellBottom, 4.0f);

    // A faint backlight behind where the text will be, as on a display.
    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (shape);
        drawGlow (g, window.expanded (10.0f, 6.0f), Palette::progressBar.withAlpha (0.07f));
    }

    g.setColour (Palette::comboOutline.withAlpha (0.55f));
    g.strokePath (shape, juce::PathStrokeType (0.8f));
}

juce::Rectangle<float> captionBounds (const juce::String& text, juce::Rectangle<float> area, float height,
                                      juce::Justification justification, bool bold, float tracking,
                                      float horizontalScale)
{
    // drawCaption squeezes a caption that is a little too long into its
    // area, so the ink is never wider than the area.
    auto width = juce::jmin (area.getWidth(), captionWidth (text, height, bold, tracking, horizontalScale));
    auto x = area.getX();

    if (justification.testFlags (juce::Justification::horizontallyCentred))
        x = area.getCentreX() - width * 0.5f;
    else if (justification.testFlags (juce::Justification::right))
        x = area.getRight() - width;

    auto y = area.getCentreY() - height * 0.5f;

    if (justification.testFlags (juce::Justification::top))
        y = area.getY();
    else if (justification.testFlags (juce::Justification::bottom))
        y = area.getBottom() - height;

    return { x, y, width, height };
}

namespace
{
// The small labels inside control boxes: bold and slightly spaced like the
// captions, but lighter and dimmer, so they read as belonging to the control
// rather than naming it.
const auto controlLabelFontHeight = 8.5f, controlLabelTracking = 0.06f;

// Control box captions: smaller than the knobs' captions and not spaced as
// widely, because several have to share a row with their controls.
const auto controlBoxTracking = 0.03f;
const auto controlBoxPadding = 6.0f; // room either side of a caption in its tab
const auto controlBoxCorner = 3.0f;  // the combo boxes' own corner
} // namespace

juce::Rectangle<float> drawControlLabel (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area,
                                         juce::Justification justification)
{
    drawCaption (g, text, area, controlLabelFontHeight, Palette::lightText.withAlpha (0.7f), justification, true,
                 controlLabelTracking);
    return captionBounds (text, area, controlLabelFontHeight, justification, true, controlLabelTracking);
}

float controlLabelWidth (const juce::String& text)
{
    return captionWidth (text, controlLabelFontHeight, true, controlLabelTracking);
}

ControlBox layoutControlBox (juce::Rectangle<float> control, const juce::String& caption, const ControlBoxStyle& style)
{
    ControlBox box;
    box.well = control.expanded (style.margin);
    box.well.setLeft (box.well.getX() - style.leadRoom);

    auto captionWidthNeeded = captionWidth (caption, controlBoxCaptionHeight, true, controlBoxTracking);
    box.tab = box.well.withWidth (captionWidthNeeded + controlBoxPadding * 2.0f).withRightX (box.well.getX());
    box.captionInk = captionBounds (caption, box.tab.reduced (controlBoxPadding, 0.0f), controlBoxCaptionHeight,
                                    juce::Justification::centred, true, controlBoxTracking);
    box.frame = box.tab.getUnion (box.well);

    if (style.tail.isNotEmpty())
    {
        auto tailWidth = captionWidth (style.tail, controlLabelFontHeight, true, controlLabelTracking);
        box.tail = box.well.withX (box.well.getRight()).withWidth (tailWidth + controlBoxPadding * 2.0f);
        box.tailInk = captionBounds (style.tail, box.tail.reduced (controlBoxPadding, 0.0f), controlLabelFontHeight,
                                     juce::Justification::centred, true, controlLabelTracking);
        box.frame = box.frame.getUnion (box.tail);
    }

    return box;
}

ControlBox drawControlBox (juce::Graphics& g, juce::Rectangle<float> control, const juce::String& caption,
                           const ControlBoxStyle& style)
{
    const auto box = layoutControlBox (control, caption, style);
    const auto pill = style.wellCorner < 0.0f;
    const auto wellAtEnd = style.tail.isEmpty();

    juce::Path outline;
    outline.addRoundedRectangle (box.frame, controlBoxCorner);

    drawShadow (g, outline, juce::Colours::black.withAlpha (0.45f), 3.0f, { 0.0f, 1.2f });

    // The tabs: a face a shade lighter than the deck, lit from above.
    g.setGradientFill (
        juce::ColourGradient::vertical (Shades::deckTop.brighter (0.35f), Shades::deckBottom, box.frame));
    g.fillPath (outline);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (outline);
        drawBrushedTexture (g, box.frame, 0xc0b0u ^ (juce::uint32) caption.hashCode(), 0.05f);
    }

    // The well. Where it ends the box, it takes the box's corners; where a
    // tab adjoins it, it is cut square, so the join reads as a divider.
    juce::Path well;

    if (pill)
    {
        auto corner = juce::jmin (box.well.getWidth(), box.well.getHeight()) * 0.5f;
        well.addRoundedRectangle (box.well, corner);
    }
    else
    {
        auto corner = juce::jmax (0.0f, style.wellCorner);
        well.addRoundedRectangle (box.well.getX(), box.well.getY(), box.well.getWidth(), box.well.getHeight(), corner,
                                  corner, false, wellAtEnd, false, wellAtEnd);
    }

    {
        // The chamfer round a recess would stick out of the box's outline
        // above and below; the box clips it.
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (outline);

        juce::Path chamfer;
        chamfer.addRoundedRectangle (box.well.expanded (1.2f), pill ? box.well.getHeight() * 0.5f + 1.2f : 4.0f);
        drawRecess (g, well, chamfer, Shades::wellTop, Shades::wellBottom, pill ? 2.5f : 3.0f);
    }

    g.setColour (Palette::comboOutline);
    juce::Path edge;
    edge.addRoundedRectangle (box.frame.reduced (0.5f), controlBoxCorner - 0.5f);
    g.strokePath (edge, juce::PathStrokeType (1.0f));

    if (! pill)
    {
        g.fillRect (juce::Rectangle<float> (box.well.getX(), box.frame.getY(), 1.0f, box.frame.getHeight()));

        if (! wellAtEnd)
            g.fillRect (
                juce::Rectangle<float> (box.well.getRight() - 1.0f, box.frame.getY(), 1.0f, box.frame.getHeight()));
    }

    // A hairline of light along the top of the tabs, for the raised look.
    {
        juce::Graphics::ScopedSaveState state (g);
        g.excludeClipRegion (box.well.getSmallestIntegerContainer());
        g.setColour (juce::Colours::white.withAlpha (0.10f));
        g.fillRect (box.frame.reduced (controlBoxCorner, 0.0f).withY (box.frame.getY() + 1.0f).withHeight (0.6f));
    }

    drawCaption (g, caption, box.captionInk.expanded (1.0f, 0.0f), controlBoxCaptionHeight, Palette::accent,
                 juce::Justification::centred, true, controlBoxTracking);

    if (style.tail.isNotEmpty())
        drawCaption (g, style.tail, box.tailInk.expanded (1.0f, 0.0f), controlLabelFontHeight,
                     Palette::lightText.withAlpha (0.7f), juce::Justification::centred, true, controlLabelTracking);

    return box;
}

//==============================================================================
void LayoutCheck::control (const juce::String& name, juce::Rectangle<float> bounds)
{
    controls.add ({ name, bounds });
}

void LayoutCheck::caption (const juce::String& text, juce::Rectangle<float> ink)
{
    captions.add ({ text, ink });
}

void LayoutCheck::report() const
{
    for (int i = 0; i < captions.size(); ++i)
    {
        auto& caption = captions.getReference (i);

        for (auto& control : controls)
            if (caption.area.intersects (control.area))
                reportProblem ("caption \"" + caption.name + "\" runs into " + control.name);

        for (int j = i + 1; j < captions.size(); ++j)
            if (caption.area.intersects (captions.getReference (j).area))
                reportProblem ("captions \"" + caption.name + "\" and \"" + captions.getReference (j).name
                               + "\" overlap");
    }
}

//==============================================================================
void drawToggleSwitch (juce::Graphics& g, juce::Rectangle<float> area, bool capAtEnd, bool lit)
{
    const auto horizontal = area.getWidth() >= area.getHeight();
    const auto margin = juce::jmin (area.getWidth(), area.getHeight()) * 0.08f;
    const auto track = area.reduced (margin);
    const auto thickness = juce::jmin (track.getWidth(), track.getHeight());
    const auto radius = thickness * 0.5f;

    juce::Path trackShape;
    trackShape.addRoundedRectangle (track, radius);

    if (lit)
    {
        // Glow: widening, fading strokes, their inner halves hidden by the fill.
        for (int i = (int) margin; i >= 1; --i)
        {
            g.setColour (Shades::litTop.withAlpha (0.10f));
            g.strokePath (trackShape, juce::PathStrokeType ((float) i * 2.0f));
        }

        juce::ColourGradient fill (Shades::litTop, track.getTopLeft(), Shades::litBottom, track.getBottomLeft(), false);
        fill.addColour (0.45, Palette::knobFill);
        g.setGradientFill (fill);
    }
    else
    {
        // Where the lit track glows, the dark one has a bevel: shadowed above,
        // catching the light below.
        g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::black.withAlpha (0.5f),
                                                           juce::Colours::white.withAlpha (0.12f),
                                                           track.expanded (margin * 0.6f)));
        g.strokePath (trackShape, juce::PathStrokeType (margin * 1.2f));
        g.setGradientFill (juce::ColourGradient::vertical (Shades::wellTop, Shades::wellBottom.brighter (0.3f), track));
    }

    g.fillPath (trackShape);

    if (lit)
    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (trackShape);
        auto upper = track.withHeight (track.getHeight() * 0.5f);
        g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::white.withAlpha (0.30f),
                                                           juce::Colours::white.withAlpha (0.0f), upper));
        g.fillRoundedRectangle (upper.reduced (radius * 0.35f, 1.0f), radius * 0.5f);
    }

    drawInnerShadow (g, trackShape, juce::Colours::black.withAlpha (lit ? 0.5f : 0.85f), 2.5f, { 0.0f, 1.2f });

    g.setColour (lit ? Shades::litTop.withAlpha (0.9f) : Palette::comboOutline.withAlpha (0.75f));
    g.strokePath (trackShape, juce::PathStrokeType (1.0f));

    // The cap: a turned metal disc resting in the track.
    const auto inset = thickness * 0.11f;
    const auto capSize = thickness - inset * 2.0f;
    const auto travelStart = (horizontal ? track.getX() : track.getY()) + inset + capSize * 0.5f;
    const auto travelEnd = (horizontal ? track.getRight() : track.getBottom()) - inset - capSize * 0.5f;
    const auto along = capAtEnd ? travelEnd : travelStart;
    const auto capCentre =
        horizontal ? juce::Point<float> (along, track.getCentreY()) : juce::Point<float> (track.getCentreX(), along);
    const auto cap = juce::Rectangle<float> (capSize, capSize).withCentre (capCentre);

    juce::Path capShape;
    capShape.addEllipse (cap);
    drawShadow (g, capShape, juce::Colours::black.withAlpha (0.75f), 2.5f, { 0.0f, 1.5f });

    juce::ColourGradient metal (Shades::switchCapLight, cap.getX() + cap.getWidth() * 0.3f,
                                cap.getY() + cap.getHeight() * 0.2f, Shades::switchCapDark, cap.getRight(),
                                cap.getBottom(), true);
    metal.addColour (0.55, Shades::switchCapLight.interpolatedWith (Shades::switchCapDark, 0.6f));
    g.setGradientFill (metal);
    g.fillPath (capShape);

    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.strokePath (capShape, juce::PathStrokeType (0.9f));

    // A rim of light on the upper edge; a lit track throws teal onto it.
    auto rimLight = lit ? Shades::litTop.withAlpha (0.6f) : juce::Colours::white.withAlpha (0.22f);
    g.setGradientFill (
        juce::ColourGradient::vertical (rimLight, rimLight.withAlpha (0.0f), cap.withHeight (cap.getHeight() * 0.65f)));
    g.drawEllipse (cap.reduced (1.1f), 0.9f);

    // Grip ridges across the direction of travel, each a groove with a lit
    // lower lip.
    const auto ridgeLength = capSize * 0.38f;
    const auto ridgeGap = capSize * 0.15f;

    for (int i = -1; i <= 1; ++i)
    {
        auto offset = (float) i * ridgeGap;
        auto ridge = horizontal ? juce::Line<float> (capCentre.x + offset, capCentre.y - ridgeLength * 0.5f,
                                                     capCentre.x + offset, capCentre.y + ridgeLength * 0.5f)
                                : juce::Line<float> (capCentre.x - ridgeLength * 0.5f, capCentre.y + offset,
                                                     capCentre.x + ridgeLength * 0.5f, capCentre.y + offset);
        auto lip = juce::Point<float> (0.7f, 0.7f);

        g.setColour (juce::Colours::white.withAlpha (0.14f));
        g.drawLine ({ ridge.getStart() + lip, ridge.getEnd() + lip }, 0.9f);
        g.setColour (juce::Colours::black.withAlpha (0.55f));
        g.drawLine (ridge, 0.9f);
    }
}

void drawRoundIconButton (juce::Graphics& g, juce::Rectangle<float> area, const juce::Path& icon, float glowRadius)
{
    auto face = area.reduced (glowRadius);
    juce::Path shape;
    shape.addEllipse (face);

    for (int i = (int) glowRadius; i >= 1; --i)
    {
        g.setColour (Palette::accent.withAlpha (0.07f));
        g.strokePath (shape, juce::PathStrokeType ((float) i * 2.0f));
    }

    g.setGradientFill (juce::ColourGradient::vertical (Shades::buttonTop, Shades::buttonBottom, face));
    g.fillPath (shape);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (shape);
        drawBrushedTexture (g, face, 0x5e7, 0.05f);

        auto upper = face.withTrimmedBottom (face.getHeight() * 0.5f);
        g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::white.withAlpha (0.07f),
                                                           juce::Colours::white.withAlpha (0.0f), upper));
        g.fillRect (upper);
    }

    g.setColour (Palette::accent);
    g.strokePath (shape, juce::PathStrokeType (1.5f));

    g.setColour (juce::Colours::white.withAlpha (0.10f));
    g.drawEllipse (face.reduced (2.0f), 1.0f);

    drawShadow (g, icon, Palette::progressBar.withAlpha (0.5f), face.getWidth() * 0.05f, {});
    g.setGradientFill (juce::ColourGradient::vertical (Palette::lightText, Palette::accent, icon.getBounds()));
    g.fillPath (icon);
}

juce::Path makeGear (juce::Point<float> centre, float radius, int teeth)
{
    const auto rootRadius = radius * 0.74f;
    const auto step = juce::MathConstants<float>::twoPi / (float) teeth;
    const auto tipHalf = step * 0.2f;
    const auto rootHalf = step * 0.3f;

    juce::Path gear;

    for (int i = 0; i < teeth; ++i)
    {
        auto angle = step * (float) i;
        auto rootStart = centre.getPointOnCircumference (rootRadius, angle - rootHalf);

        if (i == 0)
            gear.startNewSubPath (rootStart);
        else
            gear.lineTo (rootStart);

        gear.lineTo (centre.getPointOnCircumference (radius, angle - tipHalf));
        gear.lineTo (centre.getPointOnCircumference (radius, angle + tipHalf));
        gear.lineTo (centre.getPointOnCircumference (rootRadius, angle + rootHalf));

        // The root between two teeth follows the circle.
        gear.addCentredArc (centre.x, centre.y, rootRadius, rootRadius, 0.0f, angle + rootHalf,
                            angle + step - rootHalf);
    }

    gear.closeSubPath();

    auto hole = radius * 0.36f;
    gear.addEllipse (juce::Rectangle<float> (hole * 2.0f, hole * 2.0f).withCentre (centre));
    gear.setUsingNonZeroWinding (false);
    return gear;
}

} // namespace tessel::art
