#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace juce
{
// The message manager's own single step on Linux: dispatches what is pending
// and, asked to, returns false at once when nothing is. The public loop
// always runs for a set time, which would make each input cost milliseconds.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace tessel::fuzz
{
namespace
{
juce::JUCEApplicationBase* createNoApplication()
{
    return nullptr;
}

void writeSeedsAndExit (const char* folderPath)
{
    juce::File folder (juce::File::getCurrentWorkingDirectory().getChildFile (folderPath));
    folder.createDirectory();

    SeedWriter out (folder);
    target.writeSeeds (out);
    std::printf ("%d seeds written to %s\n", out.count(), folder.getFullPathName().toRawUTF8());
    std::fflush (stdout);
    std::_Exit (0);
}
} // namespace

int Input::inRange (int lo, int hi) noexcept
{
    const auto span = (unsigned) (hi - lo) + 1u;
    unsigned value = byte();
    if (span > 256)
        value = value | ((unsigned) byte() << 8);
    return lo + (int) (value % span);
}

std::vector<uint8_t> Input::bytes (size_t n)
{
    n = std::min (n, remaining());
    std::vector<uint8_t> out (next, next + n);
    next += n;
    return out;
}

std::string Input::text (size_t maxLength)
{
    const auto b = bytes (std::min<size_t> (byte(), maxLength));
    return std::string (b.begin(), b.end());
}

std::string Input::rest()
{
    std::string out (next, end);
    next = end;
    return out;
}

SeedBytes& SeedBytes::text (std::string_view t)
{
    const auto n = std::min<size_t> (t.size(), 255);
    byte ((int) n);
    return raw (t.data(), n);
}

SeedBytes& SeedBytes::raw (const void* data, size_t size)
{
    const auto* b = static_cast<const uint8_t*> (data);
    bytes.insert (bytes.end(), b, b + size);
    return *this;
}

SeedWriter::SeedWriter (juce::File f) : folder (std::move (f)) {}

void SeedWriter::add (const void* data, size_t size)
{
    auto file = folder.getChildFile ("seed-" + juce::String (written++).paddedLeft ('0', 3));
    file.replaceWithData (data, size);
}

bool drainMessages (int limit)
{
    for (int i = 0; i < limit; ++i)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            return true;

    return false;
}

void require (bool condition, const char* what)
{
    if (condition)
        return;

    std::fprintf (stderr, "\n==FUZZ CHECK FAILED== %s\n", what);
    std::fflush (stderr);
    std::abort();
}

juce::File scratchFolder()
{
    // Never destroyed, so that the clean-up at exit can still name it.
    static const juce::File* folder = []
    {
        // In memory where the machine has it: the file targets write a file or more per input.
        const juce::File shm ("/dev/shm");
        const auto base = shm.isDirectory() ? shm : juce::File::getSpecialLocation (juce::File::tempDirectory);
        auto* f = new juce::File (base.getChildFile ("tessel-fuzz-" + juce::String ((int) getpid())));
        f->deleteRecursively();
        f->createDirectory();
        std::atexit ([] { scratchFolder().deleteRecursively(); });
        return f;
    }();
    return *folder;
}

void writeWholeFile (const juce::File& file, const void* data, size_t size)
{
    // Not File::replaceWithData, which deletes the file when there is nothing to write.
    juce::FileOutputStream out (file);
    out.setPosition (0);
    out.truncate();
    out.write (data, size);
}

juce::File writeScratchFile (const juce::String& name, const void* data, size_t size)
{
    auto file = scratchFolder().getChildFile (name);
    writeWholeFile (file, data, size);
    return file;
}

HidPacket frameFrom (Input& input, const std::vector<uint8_t>& codes)
{
    // Layout: flags, code (an index into `codes`, or the byte itself), length,
    // payload. Flags: bit 0 raw code, bit 1 broken checksum.
    const auto flags = input.byte();
    const auto code = input.byte();

    HidPacket frame;
    frame.bytes[0] = (flags & 1) != 0 || codes.empty() ? code : codes[code % codes.size()];
    frame.bytes[1] = input.byte();

    const auto payload = input.bytes (std::min<size_t> (frame.bytes[1], HidPacket::maxPayload));
    std::copy (payload.begin(), payload.end(), frame.bytes.begin() + HidPacket::payloadOffset);
    frame.seal();

    if ((flags & 2) != 0)
        frame.bytes[HidPacket::checksumOffset] ^= 0x5a;

    return frame;
}

void appendFrameSeed (SeedBytes& seed, const HidPacket& frame)
{
    seed.byte (frame.hasValidChecksum() ? 1 : 3).byte (frame.code()).byte (frame.length());
    const int n = std::min<int> (frame.length(), HidPacket::maxPayload);
    seed.raw (frame.data() + HidPacket::payloadOffset, (size_t) n);
}

//==============================================================================
bool ScriptedPedal::isHolding() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return holding;
}

size_t ScriptedPedal::heldCount() const
{
    const std::lock_guard<std::mutex> guard (stateLock);
    return held.size();
}

bool ScriptedPedal::answerHeld()
{
    std::vector<HidPacket> answers;
    {
        const std::lock_guard<std::mutex> guard (stateLock);
        if (held.empty())
            return false;

        const auto command = held.front();
        held.pop_front();
        PedalSimulator::handleCommand (command, answers);
    }

    for (auto& answer : answers)
        sendReport (answer);

    return true;
}

void ScriptedPedal::dropHeld()
{
    const std::lock_guard<std::mutex> guard (stateLock);
    held.clear();
}

void ScriptedPedal::handleCommand (const HidPacket& command, std::vector<HidPacket>& answers)
{
    if (! holding && holdFrom && holdFrom (command))
        holding = true;

    if (holding)
    {
        held.push_back (command);
        return;
    }

    if (decide)
    {
        std::vector<HidPacket> normal;
        PedalSimulator::handleCommand (command, normal);
        decide (command, normal, answers);
        return;
    }

    PedalSimulator::handleCommand (command, answers);
}
} // namespace tessel::fuzz

//==============================================================================
extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv)
{
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp ((*argv)[i], "--write-seeds=", 14) == 0)
        {
            // Seeds may come from components and the simulator: start JUCE first.
            juce::JUCEApplicationBase::createInstance = &tessel::fuzz::createNoApplication;
            static auto* seedJuce = new juce::ScopedJuceInitialiser_GUI();
            (void) seedJuce;
            tessel::fuzz::writeSeedsAndExit ((*argv)[i] + 14);
        }

    if (tessel::fuzz::target.needsGui)
    {
        // As in the test main: with no application JUCE installs no X error
        // handler, and the first harmless X error would end the process.
        juce::JUCEApplicationBase::createInstance = &tessel::fuzz::createNoApplication;
    }

    // Lives as long as the process and is never shut down: the hubs and jobs
    // the targets keep between inputs would outlive JUCE's singletons.
    static auto* juceForTheProcess = new juce::ScopedJuceInitialiser_GUI();
    (void) juceForTheProcess;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    tessel::fuzz::Input input (data, size);
    tessel::fuzz::target.run (input);
    return 0;
}
