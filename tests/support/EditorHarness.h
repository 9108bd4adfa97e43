#pragma once

#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "support/MessagePump.h"
#include "support/SimulatedDisks.h"
#include "support/SimulatedUsbBus.h"
#include "ui/Dialogs.h"

class KVAMPView;

namespace tessel::test
{
/** Answers the editor's message boxes and file choosers instead of showing
    them, from answers the test queues up, and keeps what was asked. With no
    answer queued, OK/Cancel questions are cancelled and choosers cancelled. */
class RecordingDialogs : public DialogHandler
{
public:
    struct Message
    {
        juce::String title, text;
    };

    void showMessageBox (const juce::String& title, const juce::String& message) override
    {
        asked (messages, title, message);
    }
    bool askOkCancel (const juce::String& title, const juce::String& message) override
    {
        asked (questions, title, message);
        return next (okAnswers, false);
    }

    void showOkCancelBoxAsync (const juce::String& title, const juce::String& message,
                               std::function<void (int)> callback) override
    {
        juce::MessageManager::callAsync ([callback, result = askOkCancel (title, message) ? 1 : 0]
                                         { callback (result); });
    }

    juce::File chooseFileToOpen (const juce::String& pattern) override
    {
        return choose (openPatterns, pattern, fileAnswers);
    }
    juce::File chooseFileToSave (const juce::String& pattern) override
    {
        return choose (savePatterns, pattern, fileAnswers);
    }
    juce::Array<juce::File> chooseFilesToOpen (const juce::String& pattern) override
    {
        openPatterns.add (pattern);
        whileOpen();
        return next (fileListAnswers, {});
    }
    juce::File chooseFolder (const juce::String&) override
    {
        whileOpen();
        return next (fileAnswers, {});
    }
    void openLink (const juce::URL& link) override { links.add (link.toString (true)); }

    std::vector<Message> messages, questions;
    juce::StringArray links, openPatterns, savePatterns;
    std::deque<bool> okAnswers;
    std::deque<juce::File> fileAnswers; // also the folders chosen
    std::deque<juce::Array<juce::File>> fileListAnswers;

    /** Runs `action` once, while the modal box or chooser after the next
        `skip` ones is open, as the message loop would run then. */
    void duringModal (int skip, std::function<void()> action)
    {
        modalsToSkip = skip;
        modalAction = std::move (action);
    }

private:
    void whileOpen()
    {
        if (modalAction == nullptr || modalsToSkip-- > 0)
            return;
        std::exchange (modalAction, nullptr)();
    }

    void asked (std::vector<Message>& list, const juce::String& title, const juce::String& text)
    {
        list.push_back ({ title, text });
        whileOpen();
    }

    juce::File choose (juce::StringArray& patterns, const juce::String& pattern, std::deque<juce::File>& answers)
    {
        patterns.add (pattern);
        whileOpen();
        return next (answers, {});
    }

    int modalsToSkip = 0;
    std::function<void()> modalAction;

    template <typename T>
    static T next (std::deque<T>& answers, T none)
    {
        if (answers.empty())
            return none;
        auto answer = std::move (answers.front());
        answers.pop_front();
        return answer;
    }
};

/** The editor's hub wired to a simulated USB bus and simulated disks instead of the machine's,
    with the link's process-wide state reset around it. */
class EditorHarness
{
public:
    /** `diskLayer` replaces the simulated disks where a test wants another
        disk layer under the editor. */
    explicit EditorHarness (std::function<std::unique_ptr<DiskSession>()> diskLayer = {});
    ~EditorHarness();

    /** Plug in or pull out a device, and run the message loop until the notice has been handled. */
    void plugIn (const std::shared_ptr<sim::PedalSimulator>& device)
    {
        bus.plug (device);
        pumpPending();
    }
    void unplug (const std::shared_ptr<sim::PedalSimulator>& device)
    {
        bus.unplug (device);
        pumpPending();
    }
    std::shared_ptr<sim::PedalSimulator> plugIn (DeviceKind kind)
    {
        auto pedal = sim::PedalSimulator::create (kind);
        plugIn (pedal);
        return pedal;
    }

    MainContentComponent& hub() { return *content; }

    /** Destroys the window's content, pages and all, as quitting does,
        while the message loop goes on. */
    void closeEditor() { content = nullptr; }
    KVNoDevice& noDevicePage() { return *content->noDevice; }
    KVAMPView& ampPage() { return content->ampPage(); }

    /** Plugs a pedal in and runs the message loop until its patch dump has
        finished (or the time runs out). */
    std::shared_ptr<sim::PedalSimulator> connect (DeviceKind kind,
                                                  int patchCount = sim::PedalSimulator::defaultPatchCount);
    std::shared_ptr<sim::PedalSimulator> connect (std::shared_ptr<sim::PedalSimulator> pedal);

    std::vector<RecordingDialogs::Message>& messages() { return recording->messages; }
    RecordingDialogs& dialogs() { return *recording; }

    sim::SimulatedUsbBus bus;

    /** The machine's disks: the CAB pedal's volume goes here. */
    sim::SimulatedDisks disks;

private:
    RecordingDialogs* recording = nullptr;
    std::unique_ptr<DialogHandler> previousDialogs;
    std::unique_ptr<MainContentComponent> content;
};

/** The frames a pedal received since the last look, after the message loop
    has caught up, as code then payload bytes, one vector per frame. */
std::vector<std::vector<int>> takeSentFrames (sim::PedalSimulator& pedal);

/** A firmware file: the 48-byte header (payload length, sum, device name),
    then the payload. The fields the editor ignores hold junk, so that
    reading them would show. */
juce::MemoryBlock firmwareFile (const std::vector<uint8_t>& payload, const juce::String& deviceName);

/** Resets the link's globals to how the program starts. */
void resetLinkGlobals();
} // namespace tessel::test
