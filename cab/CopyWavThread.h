#pragma once

#include <functional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "cab/FileList.h"
#include "cab/IrLibraryChecks.h"

// The IR library: the job behind the CAB page's four IR buttons, which adds,
// replaces, deletes and exports the impulse responses on the pedal's volume,
// and the buttons' own steps (choosers, confirmation) that start it.
//
// The volume and FileList are kept in step: a file is only indexed once it
// is whole on the volume, an old file only goes once the index no longer
// names it, and a failure part-way leaves the volume and the index as they
// were before the file at hand.

/** What the job takes from the CAB page, read on the message thread when the
    job is started. */
struct IrLibraryPage
{
    /** Where the pedal's volume is mounted, with a closing "/" (disk_Name()). */
    juce::String volumeRoot;

    /** The page's IR table. The job works on its own copy and hands the
        finished table over; it never writes into the one the list paints. */
    SharedIrTable* irTable = nullptr;

    /** The IR list's selected rows. */
    std::vector<int> selectedRows;

    /** The folder chosen with "Save IR File". */
    juce::String irExportPath;

    /** Starts the page's LoadDisk, which reads FileList back into the list. */
    std::function<void()> startLoadDisk;

    /** The volume the table was read from (as volumeRoot gives it); empty
        for an empty table read from none. A job never writes a table of one
        volume onto another. */
    juce::String tableVolume;

    /** The page's read of the volume's index is still under way (its first
        attempts can find the volume not yet readable): an empty table is not
        yet the volume's, and an index written from it would drop every IR
        the volume holds. */
    bool indexBeingRead = false;
};

/** One run of the IR library behind the "Operating" progress window. Created
    on the message thread; deletes itself at the end of threadComplete. */
class CopyWavThread : public juce::ThreadWithProgressWindow
{
public:
    static constexpr const char* title = "Operating";
    static constexpr const char* addMode = "Add";
    static constexpr const char* replaceMode = "Replace";
    static constexpr const char* deleteMode = "Delete";
    static constexpr const char* exportMode = "";

    CopyWavThread();
    ~CopyWavThread() override;

    void run() override;
    void threadComplete (bool windowClosedWhileRunning) override;

    /** True for Add and Replace (files were chosen). */
    bool importing = false;

    /** Set at the end when the page should read FileList back. */
    bool reloadList = false;

    /** The chosen WAV files (Add, Replace). */
    juce::Array<juce::File> files;

    /** addMode, replaceMode, deleteMode or exportMode. */
    juce::String mode;

    IrLibraryPage view;

    /** The outcome shown by threadComplete (IrLibrary::ResultCode). */
    uint32_t resultCode = 0;

    /** The names the "already loaded" and "do not exist" messages list. */
    juce::String failedNames;

    /** Jobs created and not yet deleted. */
    static int jobsInProgress() noexcept;

private:
    void addFiles (bool intoEmptyTable);
    void replaceRows (const std::vector<int>& rows);
    void deleteRows (const std::vector<int>& rows);
    void exportRows (const std::vector<int>& rows);

    /** The size and space checks, then the conversion onto the volume. */
    bool importFile (const juce::File& chosen);

    /** Whether a chosen file's copy on the volume would take the place of a
        file already there, or of one of the volume's own. */
    bool isTaken (const juce::File& copy) const;

    /** Whether an entry of the job's table names this file: an entry may
        share its file with another, and such a file must stay. */
    bool isIndexed (const juce::File& file) const;

    /** Writes the job's table to FileList, only over the index it was read
        from; any other outcome leaves the index on the volume as it was. */
    IndexWrite writeIndex();

    /** The code of a write that left the index as it was: another index
        stands there, or `otherwise`. */
    static IrLibrary::ResultCode failureOf (IndexWrite write, IrLibrary::ResultCode otherwise);

    juce::File volume;
    IrTable table;

    /** What FileList held when the job's table was read, and then what the
        job wrote last. */
    IrTable indexOnVolume;
    bool indexWritten = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CopyWavThread)
};

/** Starts the job on a page with its volume mounted; returns at once. */
void startCopyWavThread (bool importing, const juce::String& mode, const juce::Array<juce::File>& files,
                         IrLibraryPage page);

// The four IR buttons. Each takes the selected IRs at its click and reads the
// page through `page` again after its chooser or question has closed: a
// modal wait runs the message loop, and the volume, the table or the
// selection may have changed meanwhile.
namespace IrLibraryButtons
{
using PageReader = std::function<IrLibraryPage()>;

/** Told instead of acting when the IRs selected at a button's click are no
    longer the ones selected once its question or chooser has closed. */
inline const juce::String selectionChangedMessage {
    "The selected IR changed while you were choosing, so nothing was done. Please check the IR list and try again."
};

/** Told instead of acting when the pedal's volume has gone, or another CAB
    pedal's has taken its place, while a button's question or chooser was open. */
inline const juce::String volumeChangedMessage {
    "The pedal's volume changed while you were choosing, so nothing was done. Please check the IR list and try again."
};

/** Told instead of acting on an empty IR list while the volume's index is
    still being read. */
inline const juce::String indexBeingReadMessage {
    "The IR list is still being read from the pedal's volume, so nothing was done. Please wait a moment and try "
    "again."
};

/** "Add": chooses WAV files and adds them as new IRs. */
void addClicked (const PageReader& page);

/** "Load IR File": chooses WAV files that replace the selected IRs in order.
    This and the two below act on the IRs selected at the click, and on none
    when the selection has moved to others by the time the user answers. */
void loadIrFileClicked (const PageReader& page);

/** "Delete": asks "Are you sure to delete?", then deletes the selected IRs. */
void deleteClicked (const PageReader& page);

/** "Save IR File": chooses a folder, keeps it in irExportPath and copies the
    selected IR files into it. */
void saveIrFileClicked (const PageReader& page, juce::String& irExportPath);
} // namespace IrLibraryButtons
