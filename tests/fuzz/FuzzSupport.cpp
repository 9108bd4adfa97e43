#include "FuzzSupport.h"

#include <unistd.h>

#include "device/TransferLink.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

namespace juce
{
// The message loop's own single step on Linux: returns false at once when nothing is pending. The
// public loop always runs for a set time, which would make each input cost milliseconds.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace tessel::fuzz
{
void nudgeWindowEvents();

int Input::inRange (int lo, int hi) noexcept
{
    const auto span = (unsigned) (hi - lo) + 1u;
    const unsigned value = byte();
    return lo + (int) ((span > 256 ? value | ((unsigned) byte() << 8) : value) % span);
}

SeedBytes& SeedBytes::frame (const HidPacket& f)
{
    byte (f.hasValidChecksum() ? 0 : 2).byte (f.code()).byte (f.length());
    return raw (f.data() + HidPacket::payloadOffset, (size_t) std::min<int> (f.length(), HidPacket::maxPayload));
}

void drain()
{
    for (int i = 0; i < 20000; ++i)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            return;
    require (false, "the message loop never runs dry");
}

void require (bool condition, const char* what)
{
    if (! condition)
    {
        std::fprintf (stderr, "\n==FUZZ CHECK FAILED== %s\n", what);
        std::abort();
    }
}

juce::File scratchFile (const juce::String& name)
{
    // Never destroyed, so that the clean-up at exit can still name it.
    static const juce::File* folder = []
    {
        const juce::File shm ("/dev/shm");
        auto* f = new juce::File ((shm.isDirectory() ? shm : juce::File::getSpecialLocation (juce::File::tempDirectory))
                                      .getChildFile ("tessel-fuzz-" + juce::String ((int) getpid())));
        f->deleteRecursively();
        std::atexit ([] { folder->deleteRecursively(); });
        return f;
    }();
    return folder->getChildFile (name);
}

juce::File writeWholeFile (const juce::File& file, const void* data, size_t size)
{
    // Not File::replaceWithData, which deletes the file when there is nothing to write.
    file.getParentDirectory().createDirectory();
    juce::FileOutputStream out (file);
    out.setPosition (0);
    out.truncate();
    out.write (data, size);
    return file;
}

HidPacket frameFrom (Input& input)
{
    const auto flags = input.byte();
    HidPacket frame;
    frame.bytes[0] = input.byte();
    frame.bytes[1] = input.byte();
    const auto payload = input.bytes (std::min<size_t> (frame.bytes[1], HidPacket::maxPayload));
    std::copy (payload.begin(), payload.end(), frame.bytes.begin() + HidPacket::payloadOffset);
    frame.seal();
    frame.bytes[HidPacket::checksumOffset] ^= (flags & 2) != 0 ? 0x5a : 0;
    return frame;
}

//==============================================================================
TransferBench::TransferBench (std::shared_ptr<sim::PedalSimulator> pedal, Input& in)
    : device (std::move (pedal)),
      input (in)
{
    sim::setFakeHidapiBus (&bus);
    hidManagerFactory = [this] { return bus.createHidManager(); };
    startLiveLink (window);
    bus.plug (device);
    drain(); // linked, and its identity answered as the simulator does

    device->onAnswers = [this] (const HidPacket& command, std::vector<HidPacket>& answers)
    {
        const auto decision = input.empty() || unplugged ? answer : input.byte() % decisionCount;
        normal = normal && decision < silence;
        if (decision == silence || decision == replace || decision == pullOut)
            answers.clear();
        if (decision == replace || decision == staleFirst)
            answers.insert (answers.begin(), frameFrom (input));
        if (decision == pullOut)
        {
            // Pulled out as the job leaves the transfer state: all it had to do is done.
            whileLeaving = command.code() == Command::transferState && command[2] == 0;
            pullOutNow();
        }
    };
}

TransferBench::~TransferBench()
{
    CloseUsbHid();
    device->onAnswers = nullptr;
    stopLiveLink();
    bus.unplug (device);
    drain();
    hidManagerFactory = [] { return createPlatformHidManager(); };
    sim::setFakeHidapiBus (nullptr);
}

void TransferBench::pullOutNow()
{
    // The bus tells the open handles at once; the device's own lock, held here, is not needed for that.
    unplugged = true;
    bus.unplug (device);
}

juce::StringArray TransferBench::runJob (juce::ThreadWithProgressWindow* job, const char* failedMessage,
                                         const std::function<void()>& afterRun)
{
    // No dialog reaches the screen; what the job shows is kept instead.
    static auto& dialogs = []() -> test::RecordingDialogs&
    {
        auto recording = std::make_unique<test::RecordingDialogs>();
        auto& kept = *recording;
        Dialogs::setHandler (std::move (recording));
        return kept;
    }();
    dialogs.messages.clear();

    job->run();
    if (afterRun)
        afterRun();
    job->threadComplete (false);

    drain();
    require (handle.load() == nullptr && sim::fakeHidapiOpenHandles() == 0, "the job left the transfer link open");

    juce::StringArray shown;
    for (const auto& message : dialogs.messages)
        shown.add (message.text);
    require (! pulledOut() || whileLeaving || shown.contains (failedMessage),
             "a job cut off by the pedal's removal was reported done");
    return shown;
}
} // namespace tessel::fuzz

extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv)
{
    // With no application JUCE installs no X error handler, and the first harmless X error would end the process.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };

    // Never shut down: the hubs and jobs the targets keep between inputs would outlive JUCE's singletons.
    [[maybe_unused]] static auto* juceForTheProcess = new juce::ScopedJuceInitialiser_GUI();

    for (int i = 1; i < *argc; ++i)
        if (const juce::String arg ((*argv)[i]); arg.startsWith ("--write-seeds="))
        {
            tessel::fuzz::SeedWriter out { juce::File::getCurrentWorkingDirectory().getChildFile (
                arg.fromFirstOccurrenceOf ("=", false, false)) };
            out.folder.createDirectory();
            tessel::fuzz::target.writeSeeds (out);
            std::printf ("%d seeds written to %s\n", out.written, out.folder.getFullPathName().toRawUTF8());
            std::fflush (stdout);
            std::_Exit (0);
        }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    tessel::fuzz::Input input (data, size);
    tessel::fuzz::target.run (input);
    if (tessel::fuzz::target.needsGui)
        tessel::fuzz::nudgeWindowEvents();
    return 0;
}

//==============================================================================
// Last in the file: Xlib's names would clash with the code above.
#include <X11/Xlib.h>

namespace juce
{
extern ::Window juce_messageWindowHandle;
} // namespace juce

namespace tessel::fuzz
{
/** JUCE reads X events only when its socket has data. Destroying a window (each job's progress
    window) syncs with the server, which moves pending events into Xlib's queue unseen; nothing
    else arriving, the queue grew input after input and each destroy scanned all of it. An event
    for JUCE's message window, which JUCE passes over, wakes the socket: the next drain empties it. */
void nudgeWindowEvents()
{
    static Display* display = XOpenDisplay (nullptr);
    if (display == nullptr || juce::juce_messageWindowHandle == 0)
        return;

    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = juce::juce_messageWindowHandle;
    event.xclient.format = 32;
    XSendEvent (display, juce::juce_messageWindowHandle, False, NoEventMask, &event);
    XSync (display, False);
    drain();
}
} // namespace tessel::fuzz
