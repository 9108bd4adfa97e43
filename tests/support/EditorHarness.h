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
        messages.push_back ({ title, message });
        whileOpen();
    }

    bool askOkCancel (const juce::String& title, const juce::String& message) override
    {
        questions.push_back ({ title, message });
        whileOpen();
        return next (okAnswers, false);
    }

    void showOkCancelBoxAsync (const juce::String& title, const juce::String& message,
                               std::function<void (int)> callback) override
    {
        const int result = askOkCancel (title, message) ? 1 : 0;
        juce::MessageManager::callAsync ([callback, result] { callback (result); });
    }

    juce::File chooseFileToOpen (const juce::String& pattern) override
    {
        openPatterns.add (pattern);
        whileOpen();
        return next (fileAnswers, juce::File());
    }

    juce::File chooseFileToSave (const juce::String& pattern) override
    {
        savePatterns.add (pattern);
        whileOpen();
        return next (fileAnswers, juce::File());
    }

    juce::Array<juce::File> chooseFilesToOpen (const juce::String& pattern) override
    {
        openPatterns.add (pattern);
        return next (fileListAnswers, juce::Array<juce::File>());
    }

    juce::File chooseFolder (const juce::String& pattern) override
    {
        folderPatterns.add (pattern);
        return next (fileAnswers, juce::File());
    }

    void openLink (const juce::URL& link) override { links.add (link.toString (true)); }

    std::vector<Message> messages, questions;
    juce::StringArray links, openPatterns, savePatterns, folderPatterns;
    std::deque<bool> okAnswers;
    std::deque<juce::File> fileAnswers;  // also the folders chosen
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

        auto action = std::move (modalAction);
        modalAction = nullptr;
        action();
    }

    int modalsToSkip = 0;
    std::function<void()> modalAction;

    template <typename T>
    static T next (std::deque<T>& answers, T none)
    {
        if (answers.empty())
            return none;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

/** The editor's hub wired to a simulated USB bus and simulated disks instead of the machine's,
    with the link's process-wide state reset around it. */
class EditorHarness
{
public:
    EditorHarness();
    ~EditorHarness();

    /** Plugs a pedal in and waits until the live link has taken it. */
    std::shared_ptr<sim::PedalSimulator> plugIn (DeviceKind kind);

    /** Plugs a device in and runs the message loop until its notice has been handled. */
    void plugIn (const std::shared_ptr<sim::PedalSimulator>& device);

    /** Pulls a device out and runs the message loop until its removal has been handled. */
    void unplug (const std::shared_ptr<sim::PedalSimulator>& device);

    MainContentComponent& hub() { return *content; }
    KVNoDevice& noDevicePage() { return *content->noDevice; }
    KVAMPView& ampPage() { return *content->ampView; }

    /** Plugs a pedal in and runs the message loop until its patch dump has
        finished (or the time runs out). */
    std::shared_ptr<sim::PedalSimulator> connect (DeviceKind kind, int patchCount = sim::PedalSimulator::defaultPatchCount);
    std::shared_ptr<sim::PedalSimulator> connect (std::shared_ptr<sim::PedalSimulator> pedal);

    /** Every message box shown so far. */
    std::vector<RecordingDialogs::Message>& messages() { return recording->messages; }

    /** The stand-in for the message boxes and file choosers. */
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
