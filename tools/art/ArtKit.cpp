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
    for (auto bold : {false, true})
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
            return juce::Result::fail ("text does not render: " + juce::String (inked) +
                                       " pixels inked for a test caption");
    }

    return juce::Result::ok();
}

void drawCaption (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area, float height,
                  juce::Colour colour, juce::Justification justification, bool bold, float tracking)
{
    auto font = captionFont (height, bold, tracking);
    auto width = font.getStringWidthFloat (text);

    if (font.getHeight() > area.getHeight() + 0.5f)
        reportProblem ("caption \"" + text + "\" is taller than its area");

    // JUCE adds the extra letter spacing after every glyph, the last one too,
    // which would push tracked captions off centre.
    auto trailing = tracking * font.getHeight() * font.getHorizontalScale();
    width -= trailing;

    const auto minimumScale = 0.9f;

    if (width > area.getWidth() / minimumScale)
        reportProblem ("caption \"" + text + "\" does not fit: " + juce::String (width, 1) + " px wide in an area of " +
                       juce::String (area.getWidth(), 1));

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
    juce::Random random ((juce::int64)seed);

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

void drawPanelBackground (juce::Graphics& g, juce::Rectangle<float> area, const PanelStyle& style)
{
    g.setGradientFill (juce::ColourGradient::vertical (style.top, style.bottom, area));
    g.fillRect (area);

    if (style.textureStrength > 0.0f)
    {
        auto whole = area.getSmallestIntegerContainer();
        g.drawImageAt (makeBrushedTexture (whole.getWidth(), whole.getHeight(), style.seed, style.textureStrength),
                       whole.getX(), whole.getY());
    }

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
    for (int i = (int)style.glowRadius; i >= 1; --i)
    {
        g.setColour (style.outline.withAlpha (0.07f));
        g.strokePath (shape, juce::PathStrokeType ((float)i * 2.0f));
    }

    g.setGradientFill (juce::ColourGradient::vertical (Shades::buttonTop, Shades::buttonBottom, shapeArea));
    g.fillPath (shape);

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (shape);
        auto whole = shapeArea.getSmallestIntegerContainer();
        g.drawImageAt (makeBrushedTexture (whole.getWidth(), whole.getHeight(), 0xb077, 0.05f), whole.getX(),
                       whole.getY());

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

    drawCaption (g, caption, shapeArea.reduced (style.cornerSize, 0.0f), style.captionHeight, style.text,
                 juce::Justification::centred, true, 0.02f);
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
        auto x = grip.getX() + grip.getWidth() * (0.35f + 0.15f * (float)i);
        g.setColour (colour.withMultipliedAlpha (0.45f));
        g.drawLine (x, grip.getY() + 3.0f, x, grip.getBottom() - 3.0f, 1.0f);
    }

    g.setColour (colour);
    g.drawRect (shell, 1.0f);

    // The two windows in the metal shell.
    auto windowSize = juce::jmax (1.5f, shell.getHeight() * 0.22f);

    for (auto fraction : {0.35f, 0.7f})
        g.fillRect (
            juce::Rectangle<float> (windowSize, windowSize)
                .withCentre ({shell.getX() + shell.getWidth() * fraction, shell.getY() + shell.getHeight() * 0.32f}));
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
        g.drawRect (usb.withCentre ({body.getCentreX(), body.getY() - usb.getHeight() * 0.5f}), 1.0f);
    }

    {
        juce::Path outline;
        outline.addRoundedRectangle (body, corner);
        juce::DropShadow (juce::Colours::black.withAlpha (0.6f), 14, {0, 6}).drawForPath (g, outline);
    }

    g.setGradientFill (juce::ColourGradient::vertical (Shades::pedalTop, Shades::pedalBottom, body));
    g.fillRoundedRectangle (body, corner);

    {
        juce::Graphics::ScopedSaveState state (g);
        juce::Path outline;
        outline.addRoundedRectangle (body, corner);
        g.reduceClipRegion (outline);
        auto whole = body.getSmallestIntegerContainer();
        g.drawImageAt (makeBrushedTexture (whole.getWidth(), whole.getHeight(), (juce::uint32)label.hashCode(), 0.06f),
                       whole.getX(), whole.getY());
    }

    g.setColour (Palette::comboOutline);
    g.drawRoundedRectangle (body, corner, 1.2f);
    g.setColour (juce::Colours::white.withAlpha (0.06f));
    g.drawRoundedRectangle (body.reduced (3.0f), corner * 0.7f, 1.0f);

    // Knobs, each with its track and a value arc, turned to different settings
    // so the row does not look stamped out.
    const auto knobRadius = juce::jmin (w / ((float)numKnobs * 3.7f), h * 0.075f);
    const auto knobY = body.getY() + h * 0.2f;
    const auto startAngle = juce::MathConstants<float>::pi * -0.75f;
    const auto endAngle = juce::MathConstants<float>::pi * 0.75f;
    const float settings[] = {0.62f, 0.35f, 0.8f, 0.5f};

    for (int i = 0; i < numKnobs; ++i)
    {
        auto x = body.getX() + w * ((float)i + 0.5f) / (float)numKnobs;
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

        auto knob = juce::Rectangle<float> (knobRadius * 2.0f, knobRadius * 2.0f).withCentre ({x, knobY});
        g.setColour (Palette::knobOutline);
        g.fillEllipse (knob);
        g.setColour (Palette::comboOutline);
        g.drawEllipse (knob, 1.0f);

        auto tip = juce::Point<float> (x, knobY).getPointOnCircumference (knobRadius * 0.8f, angle);
        g.setColour (Palette::lightText);
        g.drawLine ({{x, knobY}, tip}, 1.4f);
    }

    // The LED, lit or dark.
    {
        auto led =
            juce::Rectangle<float> (w * 0.07f, w * 0.07f).withCentre ({body.getCentreX(), body.getY() + h * 0.43f});

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

} // namespace tessel::art
