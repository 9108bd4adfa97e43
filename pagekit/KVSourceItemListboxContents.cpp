#include "pagekit/KVSourceItemListboxContents.h"

#include "pagekit/PedalPage.h"
#include "ui/Palette.h"

namespace
{
constexpr int banksOfFive = 5;
constexpr float rowFontHeight = 12.0f;
constexpr float rowTextInset = 5.0f;
} // namespace

juce::String effectPatchName (int row)
{
    if (row < banksOfFive)
        return "BankA-" + juce::String (row + 1);

    return "BankB-" + juce::String (row - (banksOfFive - 1));
}

juce::String algorithmRowText (int row, const juce::String& name)
{
    const auto number = row + 1;
    return (number <= 9 ? "0" : "") + juce::String (number) + "  " + name;
}

KVSourceItemListboxContents::~KVSourceItemListboxContents() = default;

int KVSourceItemListboxContents::getNumRows()
{
    return page != nullptr ? page->listRowCount (listMode) : 0;
}

juce::String KVSourceItemListboxContents::rowText (int row) const
{
    if (row < 0 || page == nullptr)
        return {};

    return page->listRowText (listMode, row);
}

void KVSourceItemListboxContents::paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height,
                                                    bool rowIsSelected)
{
    if (rowIsSelected)
        g.fillAll (Palette::selectedRow);

    g.setColour (Palette::lightText);
    g.setFont (juce::Font (rowFontHeight, juce::Font::plain));

    const auto text = rowText (rowNumber);
    if (text.isEmpty())
        return;

    if (page->listRowsLaidOut (listMode))
    {
        // An IR row is laid out as attributed text, with no inset.
        juce::AttributedString row;
        row.setJustification (juce::Justification::centredLeft);
        row.append (text, juce::Font (rowFontHeight, juce::Font::plain), Palette::lightText);

        juce::TextLayout layout;
        layout.createLayout (row, (float) width);
        layout.draw (g, juce::Rectangle<float> (0.0f, 0.0f, (float) width, (float) height));
        return;
    }

    // The rectangle keeps the row's full width although it starts 5 pixels in.
    g.drawText (text, juce::Rectangle<float> (rowTextInset, 0.0f, (float) width, (float) height),
                juce::Justification::centredLeft, true);
}

void KVSourceItemListboxContents::selectedRowsChanged (int lastRowSelected)
{
    if (lastRowSelected >= 0 && page != nullptr)
        page->listRowsSelected (listMode, lastRowSelected);
}

juce::var KVSourceItemListboxContents::getDragSourceDescription (const juce::SparseSet<int>& rowsToDescribe)
{
    juce::StringArray rows;
    for (int i = 0; i < rowsToDescribe.size(); ++i)
        rows.add (juce::String (rowsToDescribe[i] + 1));

    return rows.joinIntoString (", ");
}
