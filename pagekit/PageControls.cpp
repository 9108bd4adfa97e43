#include "pagekit/PageControls.h"

#include <cmath>

#include "ui/Palette.h"

namespace PageControls
{
namespace
{
constexpr int knobTextBoxWidth = 50;
constexpr int knobTextBoxHeight = 20;
constexpr int knobMaximum = 99;
constexpr float descriptionFontHeight = 12.0f;

/** Keeps a description box showing whole lines only. Its height is fixed by
    the page, so the space under the last whole line is left empty rather
    than showing half a line; and a scroll, which the wheel makes in steps
    of no particular size, comes to rest on the top of a line. */
class WholeLines final : public juce::ComponentListener,
                         public juce::ScrollBar::Listener
{
public:
    static WholeLines& instance()
    {
        static WholeLines lines;
        return lines;
    }

    void attach (juce::TextEditor& box)
    {
        // The space JUCE leaves above the first line goes into the border
        // rather than the text's indent, or a scroll by whole lines would
        // show the foot of the line above in it.
        box.setIndents (box.getLeftIndent(), 0);
        box.addComponentListener (this);

        for (auto* child : box.getChildren())
            if (auto* viewport = dynamic_cast<juce::Viewport*> (child))
                viewport->getVerticalScrollBar().addListener (this);

        fit (box);
    }

private:
    static constexpr int topSpace = 5;
    static constexpr int sideBorder = 1;
    static constexpr int rightBorder = 3;
    static constexpr int bottomBorder = 1;

    static int lineHeight (const juce::TextEditor& box)
    {
        return juce::jmax (1, juce::roundToInt (box.getFont().getHeight()));
    }

    static void fit (juce::TextEditor& box)
    {
        const auto room = juce::jmax (0, box.getHeight() - topSpace - bottomBorder);
        const auto spare = room % lineHeight (box);
        box.setBorder ({ topSpace, sideBorder, bottomBorder + spare, rightBorder });
    }

    void componentMovedOrResized (juce::Component& component, bool, bool wasResized) override
    {
        if (auto* box = dynamic_cast<juce::TextEditor*> (&component); box != nullptr && wasResized)
            fit (*box);
    }

    void scrollBarMoved (juce::ScrollBar* bar, double start) override
    {
        auto* box = bar->findParentComponentOfClass<juce::TextEditor>();
        if (box == nullptr)
            return;

        static const juce::Identifier restingKey { "wholeLineStart" };
        const auto line = (double) lineHeight (*box);
        const auto resting = (double) bar->getProperties().getWithDefault (restingKey, 0.0);

        // To the nearest line; a move too small to reach one still takes
        // the next line in its direction, or small steps would never move.
        auto snapped = std::round (start / line) * line;
        if (snapped == resting && start != resting)
            snapped += start > resting ? line : -line;

        const auto last = bar->getMaximumRangeLimit() - bar->getCurrentRangeSize();
        snapped = juce::jlimit (0.0, juce::jmax (0.0, last), snapped);

        bar->getProperties().set (restingKey, snapped);
        if (snapped != start)
            bar->setCurrentRangeStart (snapped);
    }
};
} // namespace

juce::Font slantedFont (float height)
{
    juce::Font font (height, juce::Font::italic);

#if JUCE_LINUX
    // JUCE asks for a style named "Italic" and draws upright when there is
    // none; Debian's default sans face names its slanted style "Oblique".
    if (auto typeface = font.getTypefacePtr())
    {
        const auto family = typeface->getName();
        const auto styles = juce::Font::findAllTypefaceStyles (family);

        if (! styles.contains ("Italic") && styles.contains ("Oblique"))
            return juce::Font (family, "Oblique", height);
    }
#endif

    return font;
}

juce::Image picture (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

void setUpButton (juce::ImageButton& button, const juce::Image& image, const juce::String& key,
                  juce::Button::Listener& listener)
{
    button.setImages (true, true, true, image, 1.0f, juce::Colours::transparentBlack, image, 0.8f,
                      juce::Colours::transparentBlack, image, 0.5f, juce::Colours::transparentBlack);
    button.setButtonText (key);
    button.addListener (&listener);
}

void setUpSwitch (juce::ImageButton& button, const juce::Image& normal, const juce::Image& toggled,
                  const juce::String& key, juce::Button::Listener& listener)
{
    button.setToggleState (false, juce::dontSendNotification);
    button.setClickingTogglesState (false);
    button.setImages (true, true, true, normal, 1.0f, juce::Colours::transparentBlack, {}, 1.0f,
                      juce::Colours::transparentBlack, toggled, 1.0f, juce::Colours::transparentBlack);
    button.setButtonText (key);
    button.addListener (&listener);
}

void setUpKnob (juce::Slider& knob, juce::LookAndFeel& look, juce::Slider::Listener& listener)
{
    knob.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::TextBoxBelow, false, knobTextBoxWidth, knobTextBoxHeight);
    knob.setRange (0.0, knobMaximum, 1.0);
    knob.setValue (0.0, juce::dontSendNotification);
    knob.setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack);
    knob.setColour (juce::Slider::textBoxTextColourId, Palette::accent);
    knob.setColour (juce::Slider::textBoxHighlightColourId, Palette::accent);
    knob.setColour (juce::Slider::rotarySliderFillColourId, Palette::knobFill);
    knob.setColour (juce::Slider::rotarySliderOutlineColourId, Palette::knobOutline);
    knob.setLookAndFeel (&look);
    knob.addListener (&listener);
}

void setUpDescriptionBox (juce::TextEditor& box)
{
    box.setMultiLine (true, true);
    box.setReturnKeyStartsNewLine (true);
    box.setReadOnly (true);
    box.setScrollbarsShown (true);
    box.setCaretVisible (false);
    box.setPopupMenuEnabled (false);
    box.setFont (slantedFont (descriptionFontHeight));
    box.applyColourToAllText (Palette::lightText);
    box.setColour (juce::TextEditor::textColourId, Palette::lightText);
    box.setColour (juce::TextEditor::backgroundColourId, Palette::transparent);
    box.setColour (juce::TextEditor::shadowColourId, juce::Colours::transparentBlack);
    box.setColour (juce::TextEditor::focusedOutlineColourId, juce::Colours::transparentBlack);
    box.setColour (juce::TextEditor::outlineColourId, juce::Colours::transparentBlack);
    box.setColour (juce::TextEditor::highlightColourId, Palette::descriptionHighlight);
    WholeLines::instance().attach (box);
}

void setUpVersionLabel (juce::Label& label)
{
    label.setText ("Current Version : V 1.1.1", juce::dontSendNotification);
    label.setFont (juce::Font (16.0f, juce::Font::bold));
    label.setJustificationType (juce::Justification::centred);
    label.setEditable (false);
    label.setColour (juce::Label::textColourId, Palette::lightText);
}

void setUpList (juce::ListBox& list, juce::ListBoxModel& model, int rowHeight)
{
    list.setModel (&model);
    list.setRowHeight (rowHeight);
    list.setMultipleSelectionEnabled (false);
    list.setColour (juce::ListBox::textColourId, Palette::listText);
    list.setColour (juce::ListBox::backgroundColourId, Palette::transparent);
}

void selectRowQuietly (juce::ListBox& list, int row, bool scrollIntoView)
{
    auto* model = list.getModel();
    if (model == nullptr)
        return;

    // A row the list doesn't have leaves none selected, rather than an old
    // selection that no longer matches what the page shows.
    if (row < 0 || row >= model->getNumRows())
    {
        list.setSelectedRows ({}, juce::dontSendNotification);
        return;
    }

    juce::SparseSet<int> rows;
    rows.addRange ({ row, row + 1 });
    list.setSelectedRows (rows, juce::dontSendNotification);

    if (scrollIntoView)
        list.scrollToEnsureRowIsOnscreen (row);
}

juce::PopupMenu buildMenu (const juce::StringArray& items, juce::LookAndFeel& look)
{
    juce::PopupMenu menu;
    menu.setLookAndFeel (&look);

    for (int i = 0; i < items.size(); ++i)
    {
        if (i > 0)
            menu.addSeparator();

        menu.addColouredItem (i + 1, items[i], Palette::accent, true, false, nullptr);
    }

    return menu;
}
} // namespace PageControls
