#include "cab/IrLibraryChecks.h"

#include "cab/IrConversion.h"

namespace IrLibrary
{
juce::String messageFor (uint32_t resultCode, const juce::String& failedNames)
{
    switch (resultCode)
    {
        case fileTooLarge:
            return "The IR file you selected is too large.";
        case storageFull:
            return "Internal storage is almost full.";
        case alreadyLoaded:
            return "This file has already been loaded:" + failedNames;
        case filesMissing:
            return "The listed IR files do not exist:" + failedNames;
        case conversionFailed:
            return "IR file conversion failed. Please try again.";
        case listFull:
            return "The Cab Models list is full. Tessel IR Cab is able to store 300 IR cab files.";
        case deleteFailed:
            return "The IR files could not be deleted. Please check that the pedal is connected and its storage can be "
                   "written to, then try again.";
        case exportFailed:
            return "The IR files could not be saved. Please check that the folder can be written to and has free "
                   "space, "
                   "then try again.";
        case notTheIndexShown:
            return "The IR list shown is not the one on the pedal's volume now, so nothing was done. The list is "
                   "read again from the volume; please check it, then try again.";
        default:
            return {};
    }
}

juce::String listOfNames (const juce::StringArray& names)
{
    juce::String list;
    for (auto& name : names)
        list << name << ", ";
    return list;
}

bool fileExists (const juce::String& path)
{
    return path.isNotEmpty() && juce::File::isAbsolutePath (path) && juce::File (path).existsAsFile();
}

ResultCode checkSizeAndSpace (juce::int64 chosenSize, juce::int64 convertedSize, juce::int64 freeBytes)
{
    if (chosenSize > largestChosenFile)
        return fileTooLarge;

    // The converted copy is what lands on the volume, and it can be several
    // times the chosen file (an 8-bit 8 kHz file grows twelvefold): a
    // conversion that cannot fit is a full volume, not a failed conversion.
    if (freeBytes < std::max (chosenSize, convertedSize))
        return storageFull;

    return success;
}

ResultCode checkSizeAndSpace (const juce::File& chosen, const juce::String& volumeRoot)
{
    const auto size = chosen.getSize();
    if (size > largestChosenFile)
        return fileTooLarge;

    const auto freeBytes =
        juce::File::isAbsolutePath (volumeRoot) ? juce::File (volumeRoot + "FileList").getBytesFreeOnVolume() : 0;
    return checkSizeAndSpace (size, IrConversion::convertedSize (chosen), freeBytes);
}
} // namespace IrLibrary
