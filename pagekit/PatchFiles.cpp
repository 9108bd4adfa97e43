#include "pagekit/PatchFiles.h"

#include <climits>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "pagekit/PageControls.h"
#include "ui/Dialogs.h"

namespace PatchFiles
{
namespace
{
/** The file that opening `target` would reach: where a symbolic link, or a
    chain of them, finally points, even if nothing is there yet. Each step is
    taken as the system takes it: a relative link counts from the real folder
    its link lies in, with every link in that folder's path followed first,
    so a ".." in it leads up from there and not from the name as written. */
juce::File followLinks (const juce::File& target)
{
    constexpr int mostLinks = 40; // as many as the system follows before it calls it a loop

    std::string path = target.getFullPathName().toStdString();
    for (int i = 0; i <= mostLinks; ++i)
    {
        const auto slash = path.find_last_of ('/');
        const auto name = path.substr (slash + 1);
        char* folder = ::realpath (slash == 0 ? "/" : path.substr (0, slash).c_str(), nullptr);
        if (folder == nullptr || name.empty() || name == "." || name == "..")
        {
            std::free (folder);
            return juce::File (juce::String::fromUTF8 (path.c_str()));
        }

        const std::string realFolder = std::string (folder) == "/" ? "" : folder;
        std::free (folder);
        path = realFolder + "/" + name;

        char link[PATH_MAX];
        const auto length = ::readlink (path.c_str(), link, sizeof (link));
        if (length < 0 || length == (ssize_t) sizeof (link))
            break; // not a link (or none there yet): this is the file

        const std::string linkText (link, (size_t) length);
        path = ! linkText.empty() && linkText.front() == '/' ? linkText : realFolder + "/" + linkText;
    }

    return juce::File (juce::String::fromUTF8 (path.c_str()));
}

/** Writes all of `data` through the stream and checks that it landed:
    JUCE can lose a failed flush unseen, so the size on disk is compared too. */
bool writeAll (juce::FileOutputStream& out, const juce::File& file, const juce::MemoryBlock& data)
{
    if (! out.openedOk())
        return false;

    if (data.getSize() > 0 && ! out.write (data.getData(), data.getSize()))
        return false;

    out.flush();
    return out.getStatus().wasOk() && file.getSize() == (juce::int64) data.getSize();
}

/** Gives a new file the owner and permissions of the one it replaces. The
    owner can only be kept where the system allows it, as for root. */
void takeOverAttributes (const juce::File& replacement, const struct stat& old)
{
    const auto path = replacement.getFullPathName().toRawUTF8();
    if (::chown (path, old.st_uid, old.st_gid) != 0)
        (void) ::chown (path, (uid_t) -1, old.st_gid);

    (void) ::chmod (path, old.st_mode & 07777);
}

enum class Outcome
{
    written,
    failed,
    noRoomBeside
};

/** Writes a complete file beside `file`, then renames it over `file`, so that
    a failed write leaves any old file as it was. */
Outcome writeBeside (const juce::File& file, const juce::MemoryBlock& data, const struct stat* old)
{
    juce::TemporaryFile temporary (file, juce::TemporaryFile::useHiddenFile);

    {
        juce::FileOutputStream out (temporary.getFile(), 16384);
        if (! out.openedOk())
            return Outcome::noRoomBeside;

        if (! writeAll (out, temporary.getFile(), data))
            return Outcome::failed;
    }

    if (old != nullptr)
        takeOverAttributes (temporary.getFile(), *old);

    return temporary.overwriteTargetFileWithTemporary() ? Outcome::written : Outcome::failed;
}
} // namespace

bool writeFileSafely (const juce::File& target, const juce::MemoryBlock& data)
{
    // Writing through a link changes the file it points to, as any editor
    // does; renaming over the link would cut it and leave that file as it was.
    const auto file = followLinks (target);
    if (file.isSymbolicLink())
        return false;

    struct stat old
    {
    };
    const bool replacing = ::stat (file.getFullPathName().toRawUTF8(), &old) == 0;
    if (replacing && ! S_ISREG (old.st_mode))
        return false;

    const auto outcome = writeBeside (file, data, replacing ? &old : nullptr);
    if (outcome != Outcome::noRoomBeside || ! replacing)
        return outcome == Outcome::written;

    // No file can be made beside the old one (a folder the user may not
    // write to, holding a file they may): the old file is overwritten where
    // it stands, which is not all-or-nothing but the only way left.
    juce::FileOutputStream out (file, 16384);
    return out.openedOk() && out.setPosition (0) && out.truncate().wasOk() && writeAll (out, file, data);
}
bool stillAsChosen (int menuItem, int selectedBefore, int selectedNow, bool pedalLinked, bool recordsThere)
{
    const juce::String* problem = nullptr;

    if (! pedalLinked)
        problem = &PageControls::pedalMissingMessage;
    else if (! recordsThere)
        // All patches lack no selection: their count changed under the chooser.
        problem = menuItem == allPatches ? &patchesChangedMessage : &noPatchSelectedMessage;
    else if (menuItem == onePatch && selectedNow != selectedBefore)
        problem = &selectionChangedMessage;

    if (problem != nullptr)
        Dialogs::showMessage ({}, *problem);

    return problem == nullptr;
}

bool wholeSetOrTold (int menuItem, bool holdsEveryPatch)
{
    if (menuItem != allPatches || holdsEveryPatch)
        return true;

    Dialogs::showMessage ({}, partialSetMessage);
    return false;
}
} // namespace PatchFiles
