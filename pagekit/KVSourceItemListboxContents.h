#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class PedalPage;

/** The one list model behind every list box of the pedal pages: a page's
    patch list (listMode 1) or its algorithm list (any other mode; the IR list
    on the CAB page). It asks its page for the rows on every call, and hands
    the user's selection to the page, which sends the pedal's command. */
class KVSourceItemListboxContents : public juce::ListBoxModel
{
public:
    static constexpr int patchListMode = 1;
    static constexpr int algorithmListMode = 2;

    ~KVSourceItemListboxContents() override;

    int getNumRows() override;
    void paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height, bool rowIsSelected) override;
    void selectedRowsChanged (int lastRowSelected) override;
    juce::var getDragSourceDescription (const juce::SparseSet<int>& rowsToDescribe) override;

    /** The text a row shows; empty when the row has none. */
    juce::String rowText (int row) const;

    /** The page whose list this is; without one the list is empty. */
    PedalPage* page = nullptr;
    int listMode = 0;
};

/** "BankA-1" .. "BankA-5", then "BankB-1" and on: the effect pedals' patch names. */
juce::String effectPatchName (int row);

/** "01  name" .. "09  name", "10  name": an algorithm row of the effect pedals. */
juce::String algorithmRowText (int row, const juce::String& name);
