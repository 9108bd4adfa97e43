#pragma once

#include <memory>

#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "support/MessagePump.h"
#include "support/SimulatedUsbBus.h"
#include "ui/Dialogs.h"

class KVAMPView;

namespace tessel::test
{
/** Answers the editor's message boxes instead of showing them, and keeps
    what they said. */
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
    }

    std::vector<Message> messages;
};

/** The editor's hub wired to a simulated USB bus instead of the machine's,
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
    std::vector<RecordingDialogs::Message>& messages() { return dialogs->messages; }

    sim::SimulatedUsbBus bus;

private:
    RecordingDialogs* dialogs = nullptr;
    std::unique_ptr<DialogHandler> previousDialogs;
    std::unique_ptr<MainContentComponent> content;
};

/** Resets the link's globals to how the program starts. */
void resetLinkGlobals();
} // namespace tessel::test
