// The IR conversion as a program of its own, for comparing whole processes
// with SoX: the same call the IR library job makes for each file it adds.
//
//     tessel_convert_ir SOURCE.wav VOLUME/
//
// writes VOLUME/SOURCE.wav (48 kHz, 16-bit, one channel); exits 1 when the
// conversion fails.

#include <cstdio>

#include "cab/IrConversion.h"

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf (stderr, "usage: tessel_convert_ir SOURCE.wav VOLUME/\n");
        return 2;
    }

    const juce::File source (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    auto volume = juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]).getFullPathName();
    if (! volume.endsWithChar ('/'))
        volume << '/';

    return IrConversion::convertToVolume (source, volume) ? 0 : 1;
}
