#pragma once

#include <functional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/LiveLink.h"
#include "pagekit/KVSourceItemListboxContents.h"
#include "pagekit/PedalPage.h"
#include "ui/KVLookAndFeel.h"

class KVNoDevice;

/** What every pedal page has in common: the patch and algorithm lists with
    the description box, the Set, Import, Export and Save buttons, the bypass
    switch, how a click on a button is dispatched and how the page is laid
    out. Each page says where its controls go and handles its own buttons. */
class KVPageBase : public juce::Component,
                   public PedalPage,
                   public juce::DragAndDropContainer,
                   protected juce::Button::Listener
{
public:
    ~KVPageBase() override;

    void paint (juce::Graphics&) override;
    void resized() final;

    /** Shows record `patch` of the page's records in the controls, sending nothing. */
    virtual void updateAmpInformation (int patch) = 0;

    /** Shows the catalogue's description of the algorithm (IR) in row `row`. */
    virtual void UpdateDiagnosticsBox (int row) = 0;

    /** Enables or disables the editing controls as the bypass switch says. */
    virtual void setAllViewEnabled (bool on) = 0;

    // The shared answers: the AMP, DLY and MOD lists read the same way.
    juce::Component& component() override { return *this; }
    int listRowCount (int listMode) const override;
    juce::String listRowText (int listMode, int row) const override;
    void listRowsSelected (int listMode, int lastRowSelected) override;

    void showPatch (int patch, bool scrollIntoView) override;
    void showAlgorithm (int algorithm) override;
    void showBypass (int state) override;
    void showAlgorithmNames (const juce::StringArray& names) override;
    void showDump (int current) override;
    void patchSaved() override;

    /** Each page forgets its own records too, after this. */
    void forgetPedal() override;
    bool checkFirmwareFile (const juce::File& file) override;
    void forgetFirmwareFile() override;

    /** The patch the page shows, the pedal's current one: the patch row
        selected last, by a click or by the pedal's report. Rows left
        highlighted beside it (a shift- or ctrl-click) are not it. -1 when
        none is shown. */
    int shownPatch() const { return patchList.getLastRowSelected(); }

    /** What the Set, Import and Export menus answer (0 when dismissed), with
        the page (null once it has gone) and the pedal linked when the menu
        opened: an item that acts on a pedal acts only while that one is. */
    static void setMenuAnswered (int result, KVPageBase* page, LinkSession openedFor);
    static void importMenuAnswered (int result, KVPageBase* page, LinkSession openedFor);
    static void exportMenuAnswered (int result, KVPageBase* page, LinkSession openedFor);

    juce::ImageButton importButton;
    juce::ImageButton exportButton;
    juce::ImageButton setButton;
    juce::ImageButton saveButton;
    juce::TextEditor diagnosticsBox;
    juce::ImageComponent background;
    juce::Label versionLabel;
    KVCustomLookAndFeel customLookAndFeel;
    KVPopupMenuLookAndFeel popupMenuLookAndFeel;
    juce::ListBox algorithmList;
    juce::ListBox patchList;
    juce::ImageButton bypassswitchButton;
    KVSourceItemListboxContents algorithmListModel;
    KVSourceItemListboxContents patchListModel;

    /** The pedal's algorithm names (AMP, DLY, MOD), in its order. */
    juce::StringArray algorithmNames;

    KVNoDevice* noDevice = nullptr;

    /** The no-device page's check of a firmware file, handed in by the window. */
    std::function<bool (const juce::File&)> firmwareCheck;

    /** Drops the file firmwareCheck kept, handed in by the window. */
    std::function<void()> firmwareForget;

protected:
    KVPageBase();

    /** Where one control goes; the background always fills the page. */
    struct Placement
    {
        juce::Component* control;
        juce::Rectangle<int> bounds;
    };

    virtual std::vector<Placement> layout() = 0;

    /** The lists, the description box, the Set, Import, Export and Save
        buttons and the version where the AMP, DLY and MOD pages have them:
        only the heights differ. */
    void placeEffectPageLists (std::vector<Placement>& placements, int patchListTop, int buttonsTop,
                               int algorithmListTop);

    /** A row of knobs of one size, at their left edges and one top. */
    template <size_t numKnobs>
    static void placeKnobs (std::vector<Placement>& placements, std::array<juce::Slider, numKnobs>& knobs,
                            const int (&left)[numKnobs], int top, int size)
    {
        for (size_t k = 0; k < numKnobs; ++k)
            placements.push_back ({ &knobs[k], { left[k], top, size, size } });
    }

    /** What the Import and Export menus answered. */
    virtual void importMenuItemChosen (int result) = 0;
    virtual void exportMenuItemChosen (int result) = 0;

    /** A button of the page's own (not Set, Import, Export, Save or the
        bypass switch): returns true when it was the page's. */
    virtual bool handleOwnButton (const juce::String&) { return false; }

    /** The bypass switch clicked: it flips, the controls follow, the pedal is told. */
    virtual void bypassClicked();

    /** Flips a switch the page turns itself (see setUpSwitch); returns its new state. */
    static bool flipSwitch (juce::Button& button);

    /** The CAB page's patch list is refreshed with every layout. */
    bool patchListFollowsLayout = false;

    void buttonClicked (juce::Button*) final;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KVPageBase)
};

/** Keeps one dump record in a page's records, of the page's own layout. */
template <typename Shape>
void storeRecordIn (juce::OwnedArray<Shape>& records, const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    auto fresh = std::make_unique<Shape>();
    std::copy_n (record.begin(), Shape::size, fresh->bytes.begin());

    const int index = record[PatchRecord::indexByte];
    if (index < records.size())
        records.set (index, fresh.release(), true);
    else
        records.add (fresh.release());
}

/** The current-patch byte of the last of a page's records; -1 with none. */
template <typename Shape>
int lastCurrentPatchOf (const juce::OwnedArray<Shape>& records)
{
    auto* last = records.getLast();
    return last != nullptr ? last->bytes[PatchRecord::currentByte] : -1;
}
