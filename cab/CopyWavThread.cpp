#include "cab/CopyWavThread.h"

#include <algorithm>
#include <atomic>
#include <optional>

#include "cab/IrConversion.h"
#include "cab/IrLibraryChecks.h"
#include "ui/Dialogs.h"

namespace
{
std::atomic<int> liveJobs { 0 };

constexpr int stopTimeoutMs = 10000;
constexpr int exportBufferBytes = 16384;
constexpr const char* selectFirstMessage = "Please select at least one IR file.";
constexpr const char* deleteQuestion = "Are you sure to delete?";
// The Linux choosers (zenity, kdialog) match patterns case-sensitively; the
// bracket form lets them show the suffix in any letter case, the plain ones
// serve JUCE's own chooser, which knows no brackets.
constexpr const char* wavPattern = "*.wav;*.Wav;*.WAV;*.[wW][aA][vV]";

/** The selected rows that name entries, in ascending order, each once. */
std::vector<int> rowsOf (std::vector<int> selected, uint32_t irCount)
{
    selected.erase (std::remove_if (selected.begin(), selected.end(),
                                    [irCount] (int row) { return row < 0 || (uint32_t) row >= irCount; }),
                    selected.end());
    std::sort (selected.begin(), selected.end());
    selected.erase (std::unique (selected.begin(), selected.end()), selected.end());
    return selected;
}

/** Copies an IR file into `target`, replacing any file of that name only once
    the copy is whole beside it. */
bool exportFile (const juce::File& source, const juce::File& target)
{
    if (target.isDirectory())
        return false;

    juce::MemoryBlock bytes;
    if (! source.loadFileAsData (bytes) || (juce::int64) bytes.getSize() != source.getSize())
        return false;

    juce::TemporaryFile beside (target);
    bool written = false;
    {
        juce::FileOutputStream out (beside.getFile(), exportBufferBytes);
        written = out.openedOk() && out.write (bytes.getData(), bytes.getSize());
        out.flush();
        written = written && out.getStatus().wasOk();
    }

    return written && beside.getFile().getSize() == (juce::int64) bytes.getSize()
        && beside.overwriteTargetFileWithTemporary();
}
} // namespace

//==============================================================================
CopyWavThread::CopyWavThread()
    : ThreadWithProgressWindow (title, true, false, stopTimeoutMs, {}, nullptr)
{
    ++liveJobs;
}

CopyWavThread::~CopyWavThread()
{
    --liveJobs;
}

int CopyWavThread::jobsInProgress() noexcept
{
    return liveJobs;
}

void CopyWavThread::run()
{
    resultCode = IrLibrary::success;
    failedNames.clear();
    indexWritten = false;

    if (! juce::File::isAbsolutePath (view.volumeRoot) || view.irTable == nullptr)
        return;

    volume = juce::File (view.volumeRoot);
    table = *view.irTable->current();
    indexOnVolume = table;
    const auto rows = rowsOf (view.selectedRows, table.irCount);

    if (importing && table.irCount == 0)
        addFiles (true);
    else if (importing && mode == addMode)
        addFiles (false);
    else if (importing && mode == replaceMode)
        replaceRows (rows);
    else if (! importing && mode == deleteMode)
        deleteRows (rows);
    else if (! importing)
        exportRows (rows);

    // The list changes only now, and all at once, on the message thread, to
    // what FileList now holds.
    if (indexWritten)
        view.irTable->handOver (asWritten (table));
}

void CopyWavThread::threadComplete (bool windowClosedWhileRunning)
{
    const auto message = IrLibrary::messageFor (resultCode, failedNames);

    if (message.isNotEmpty())
        Dialogs::showMessage ({}, message);

    if (! windowClosedWhileRunning && reloadList && view.startLoadDisk != nullptr)
        view.startLoadDisk();

    delete this;
}

bool CopyWavThread::importFile (const juce::File& chosen)
{
    resultCode = IrLibrary::checkSizeAndSpace (chosen, view.volumeRoot);
    if (resultCode != IrLibrary::success)
        return false;

    reloadList = IrConversion::convertToVolume (chosen, view.volumeRoot);
    if (! reloadList)
        resultCode = IrLibrary::conversionFailed;

    return reloadList;
}

bool CopyWavThread::isTaken (const juce::File& copy) const
{
    // The volume's own files are not IRs, whether there yet or not.
    return copy.existsAsFile() || IrIndex::isIndexFileName (copy.getFileName());
}

bool CopyWavThread::isIndexed (const juce::File& file) const
{
    for (uint32_t i = 0; i < table.irCount; ++i)
        if (irFileFor (volume, table.entries[i]) == std::optional<juce::File> (file))
            return true;

    return false;
}

IndexWrite CopyWavThread::writeIndex()
{
    // The table may not be the volume's index: read by a series that gave
    // up, or before the index was readable, or another pedal's. Written over
    // the index there, it would drop every IR that index names.
    const auto written = writeFileListOver (volume, indexOnVolume, table);
    if (written != IndexWrite::written)
        return written;

    const auto bytes = fileListBytes (table);
    indexOnVolume = readFileList (bytes->getData(), bytes->getSize());
    indexWritten = true;
    return written;
}

IrLibrary::ResultCode CopyWavThread::failureOf (IndexWrite write, IrLibrary::ResultCode otherwise)
{
    return write == IndexWrite::notTheIndexRead ? IrLibrary::notTheIndexShown : otherwise;
}

void CopyWavThread::addFiles (bool intoEmptyTable)
{
    if (! intoEmptyTable)
        setStatusMessage ("Importing IR files, please wait...");

    // The whole choice is refused before anything is copied, so that the
    // list is never left holding only part of it.
    juce::StringArray newNames;
    for (auto& file : files)
        if (! isTaken (volume.getChildFile (file.getFileName())))
            newNames.addIfNotAlreadyThere (file.getFileName(), true);

    if (table.irCount + (uint32_t) newNames.size() > (uint32_t) IrIndex::maxEntries)
    {
        resultCode = IrLibrary::listFull;
        return;
    }

    juce::StringArray duplicates;

    for (int i = 0; i < files.size() && ! threadShouldExit(); ++i)
    {
        const auto name = files[i].getFileName();
        const auto copy = volume.getChildFile (name);

        if (isTaken (copy))
        {
            if (! intoEmptyTable)
                duplicates.add (name);
            continue;
        }

        if (! importFile (files[i]))
            return;

        const auto before = table;
        const auto written = appendEntry (table, name) ? writeIndex() : IndexWrite::failed;

        if (written != IndexWrite::written)
        {
            // A file FileList doesn't name would block its own name later.
            table = before;
            copy.deleteFile();
            resultCode = failureOf (written, IrLibrary::conversionFailed);
            return;
        }

        setProgress ((double) i / files.size());
    }

    if (! duplicates.isEmpty())
    {
        failedNames = IrLibrary::listOfNames (duplicates);
        resultCode = IrLibrary::alreadyLoaded;
    }
}

void CopyWavThread::replaceRows (const std::vector<int>& rows)
{
    setStatusMessage ("Replacing IR files, please wait...");

    // Rows without a chosen file keep their IRs; surplus files are ignored.
    const auto pairs = std::min ((int) rows.size(), files.size());
    juce::StringArray duplicates;

    for (int k = 0; k < pairs && ! threadShouldExit(); ++k)
    {
        const auto row = rows[(size_t) k];
        const auto name = files[k].getFileName();
        const auto copy = volume.getChildFile (name);

        if (isTaken (copy))
        {
            duplicates.add (name);
            continue;
        }

        // The old IR stays until the new one is on the volume and indexed.
        if (! importFile (files[k]))
            return;

        const auto before = table;
        const auto old = irFileFor (volume, table.entries[(size_t) row]);
        renameEntry (table, row, name);

        if (const auto written = writeIndex(); written != IndexWrite::written)
        {
            table = before;
            copy.deleteFile();
            resultCode = failureOf (written, IrLibrary::conversionFailed);
            return;
        }

        if (old.has_value() && ! isIndexed (*old))
            old->deleteFile();

        setProgress ((double) k / files.size());
    }

    if (! duplicates.isEmpty())
    {
        failedNames = IrLibrary::listOfNames (duplicates);
        resultCode = IrLibrary::alreadyLoaded;
    }
}

void CopyWavThread::deleteRows (const std::vector<int>& rows)
{
    setStatusMessage ("Deleting IR files, please wait...");

    juce::Array<juce::File> doomed;
    for (auto row : rows)
        if (auto file = irFileFor (volume, table.entries[(size_t) row]))
            doomed.add (*file);

    const auto before = table;
    for (size_t k = 0; k < rows.size(); ++k)
        removeEntry (table, rows[k] - (int) k);

    // The files go only once the index no longer names them.
    if (const auto written = writeIndex(); written != IndexWrite::written)
    {
        table = before;
        resultCode = failureOf (written, IrLibrary::deleteFailed);
    }
    else
        for (int k = 0; k < doomed.size(); ++k)
        {
            if (! isIndexed (doomed[k]))
                doomed[k].deleteFile();

            setProgress ((double) k / doomed.size());
        }

    reloadList = true;
}

void CopyWavThread::exportRows (const std::vector<int>& rows)
{
    setStatusMessage ("Exporting IR files, please wait...");

    const auto folder = juce::File::isAbsolutePath (view.irExportPath) ? juce::File (view.irExportPath) : juce::File();
    juce::StringArray missing;

    for (size_t k = 0; k < rows.size(); ++k)
    {
        const auto& entry = table.entries[(size_t) rows[k]];
        const auto source = irFileFor (volume, entry);

        if (! source.has_value() || ! source->existsAsFile())
        {
            missing.add (entry.name);
        }
        else
        {
            reloadList = folder != juce::File() && exportFile (*source, *irFileFor (folder, entry));

            // A folder that takes one file and not the next (full, pulled
            // out) won't take the rest either.
            if (! reloadList)
            {
                resultCode = IrLibrary::exportFailed;
                return;
            }
        }

        setProgress ((double) k / rows.size());
    }

    if (! missing.isEmpty())
    {
        failedNames = IrLibrary::listOfNames (missing);
        resultCode = IrLibrary::filesMissing;
    }
}

//==============================================================================
void startCopyWavThread (bool importing, const juce::String& mode, const juce::Array<juce::File>& files,
                         IrLibraryPage page)
{
    // The volume may have gone while a chooser was open.
    if (! juce::File::isAbsolutePath (page.volumeRoot) || page.irTable == nullptr)
        return;

    // The list came from a volume no longer in force: written here, that
    // volume's index would take the place of this one's.
    const bool emptyOfNone = page.tableVolume.isEmpty() && page.irTable->current()->irCount == 0;
    if (page.tableVolume != page.volumeRoot && ! emptyOfNone)
    {
        Dialogs::showMessage ({}, IrLibraryButtons::volumeChangedMessage);
        return;
    }

    if (page.indexBeingRead && page.irTable->current()->irCount == 0)
    {
        Dialogs::showMessage ({}, IrLibraryButtons::indexBeingReadMessage);
        return;
    }

    // The job deletes itself when it has finished. Normal priority is what
    // older JUCE called priority 5.
    auto* job = new CopyWavThread();
    job->importing = importing;
    job->mode = mode;
    job->files = files;
    job->view = std::move (page);
    job->launchThread (juce::Thread::Priority::normal);
}

namespace IrLibraryButtons
{
namespace
{
/** The IRs a button acts on: the volume, the rows selected at its click,
    and the names those rows showed then. */
struct ChosenRows
{
    juce::String volume;
    std::vector<int> rows;
    juce::StringArray names;

    explicit ChosenRows (const IrLibraryPage& page)
        : volume (page.volumeRoot),
          rows (page.selectedRows)
    {
        const auto table = page.irTable != nullptr ? page.irTable->current() : nullptr;
        const auto count = table != nullptr ? (int) juce::jmin (table->irCount, (uint32_t) IrIndex::maxEntries) : 0;

        for (auto row : rows)
            names.add (juce::isPositiveAndBelow (row, count) ? table->entries[(size_t) row].name : juce::String());
    }

    bool operator== (const ChosenRows& other) const
    {
        return volume == other.volume && rows == other.rows && names == other.names;
    }
};

/** The page as it is after a modal wait, which runs the message loop: the
    pedal may have moved the IR selection meanwhile (its IR report, or a step
    to another patch), or the volume may have gone, or be another CAB
    pedal's now, and the job must act on the IRs the user chose or on none.
    Nothing, and the user told, when they are no longer the ones selected. */
std::optional<IrLibraryPage> pageAsChosen (const PageReader& page, const ChosenRows& atClick)
{
    auto now = page();
    if (ChosenRows (now) == atClick)
        return now;

    Dialogs::showMessage ({}, now.volumeRoot != atClick.volume ? volumeChangedMessage : selectionChangedMessage);
    return std::nullopt;
}

bool anySelected (const IrLibraryPage& page)
{
    if (! page.selectedRows.empty())
        return true;

    Dialogs::showMessage ({}, selectFirstMessage);
    return false;
}
} // namespace

void addClicked (const PageReader& page)
{
    const auto volumeAtClick = page().volumeRoot;
    const auto chosen = Dialogs::chooseFilesToOpen (wavPattern);
    if (chosen.isEmpty())
        return;

    // New IRs go to the volume of the pedal the user chose them for.
    auto now = page();
    if (now.volumeRoot != volumeAtClick)
        Dialogs::showMessage ({}, volumeChangedMessage);
    else
        startCopyWavThread (true, CopyWavThread::addMode, chosen, std::move (now));
}

void loadIrFileClicked (const PageReader& page)
{
    const auto clicked = page();
    const ChosenRows atClick (clicked);
    if (! anySelected (clicked))
        return;

    const auto chosen = Dialogs::chooseFilesToOpen (wavPattern);
    if (chosen.isEmpty())
        return;

    if (auto now = pageAsChosen (page, atClick))
        startCopyWavThread (true, CopyWavThread::replaceMode, chosen, std::move (*now));
}

void deleteClicked (const PageReader& page)
{
    const ChosenRows atClick (page());
    if (! Dialogs::askOkCancel ({}, deleteQuestion))
        return;

    if (auto now = pageAsChosen (page, atClick))
        startCopyWavThread (false, CopyWavThread::deleteMode, {}, std::move (*now));
}

void saveIrFileClicked (const PageReader& page, juce::String& irExportPath)
{
    const auto clicked = page();
    const ChosenRows atClick (clicked);
    if (! anySelected (clicked))
        return;

    const auto folder = Dialogs::chooseFolder (wavPattern);
    if (folder == juce::File())
        return;

    auto now = pageAsChosen (page, atClick);
    if (! now)
        return;

    irExportPath = folder.getFullPathName();
    now->irExportPath = irExportPath;
    startCopyWavThread (false, CopyWavThread::exportMode, {}, std::move (*now));
}
} // namespace IrLibraryButtons
