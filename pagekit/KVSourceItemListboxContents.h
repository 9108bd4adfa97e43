#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class KVAMPView;
class KVCABView;
class KVDLYView;
class KVMODView;

/** The one list model behind every list box of the pedal pages: a page's
    patch list (listMode 1) or its algorithm list (any other mode; the IR list
    on the CAB page). It reads its rows from the page on every call, and turns
    the user's selection into the pedal's patch or algorithm command. */
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

    KVAMPView* ampPage = nullptr;
    juce::StringArray ampNames;
    int listMode = 0;
    KVCABView* cabPage = nullptr;
    KVDLYView* dlyPage = nullptr;
    juce::StringArray dlyNames;
    KVMODView* modPage = nullptr;
    juce::StringArray modNames;
    int deviceKind = 0;

private:
    const juce::StringArray* namesOfKind() const;

    /** Runs `action` with the AMP, MOD or DLY page this model serves. */
    template <typename Action>
    bool withEffectPage (Action&& action) const;
};

/** "BankA-1" .. "BankA-5", then "BankB-1" and on: the effect pedals' patch names. */
juce::String effectPatchName (int row);

/** "01  name" .. "09  name", "10  name": an algorithm row of the effect pedals. */
juce::String algorithmRowText (int row, const juce::String& name);
