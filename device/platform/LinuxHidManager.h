#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/platform/HidManager.h"
#include "device/platform/LinuxHidParsing.h"
#include "device/platform/OwnedCalls.h"
#include "device/platform/UdevWatch.h"

struct udev_device;

class LinuxHidDevice;

/** The HID layer on Linux: udev tells us which hidraw nodes exist and when
    they come and go, and each matching pedal is driven through its
    /dev/hidrawN node. Everything happens on the message thread.

    Access to the nodes comes from the udev rule the package installs
    (resources/linux/60-tessel-editor.rules). */
class LinuxHidManager final : public HidManager
{
public:
    LinuxHidManager();

    /** A hidraw node as udev describes it. */
    struct RecordedNode
    {
        tessel::linuxhid::UsbParentText usbParent;
        std::string sysPath;
        std::string devNode;
    };

    /** A manager that takes the nodes present at open() from `recorded`
        instead of udev (which knows no pedal on a machine without one); the
        nodes are opened for real. */
    explicit LinuxHidManager (std::function<std::vector<RecordedNode>()> recorded);

    /** Stops watching, closes every node and frees udev. No removal is told. */
    ~LinuxHidManager() override;

    void setDeviceMatching (const juce::String& manufacturer) override;
    void setListener (Listener* listenerToTell) override { listener = listenerToTell; }
    HidResult open() override;

private:
    struct Entry
    {
        std::unique_ptr<LinuxHidDevice> device;
        uint64_t serial = 0;
        int failedOpens = 0;
        bool reported = false;
        bool removing = false;
    };

    void handleMonitorEvents();
    void deviceAppeared (udev_device* hidraw);
    void nodeAppeared (const tessel::linuxhid::UsbParentText& usbParent, const std::string& sysPath,
                       const std::string& devNode);
    void deviceDisappeared (udev_device* hidraw);
    void tryToOpen (uint64_t serial);
    void reportLater (uint64_t serial);
    void report (uint64_t serial);

    Entry* findBySerial (uint64_t serial);
    Entry* findBySysPath (const std::string& sysPath);
    void eraseBySerial (uint64_t serial);
    HidResult giveUp (const char* why);
    void releaseUdev();

    UdevWatch udevWatch;

    // Until setDeviceMatching is called nothing matches: we never open the
    // hidraw nodes of keyboards and mice just because nobody said what to look for.
    std::optional<std::string> wantedManufacturer;

    Listener* listener = nullptr;
    std::function<std::vector<RecordedNode>()> recordedNodes;
    bool opened = false;

    std::vector<std::unique_ptr<Entry>> entries;

    // Entries are named by serial, not pointer or path, in the timers and
    // messages that refer to them: a pedal unplugged and plugged back in has
    // the same path but is a new entry.
    uint64_t nextSerial = 1;

    // Fd callbacks hold this cell, which the destructor empties, so none of
    // them touches a manager that has gone.
    std::shared_ptr<LinuxHidManager*> lifetime;

    // Open retries and posted reports; they go with the manager.
    OwnedCalls laterCalls;

    JUCE_DECLARE_NON_COPYABLE (LinuxHidManager)
};
