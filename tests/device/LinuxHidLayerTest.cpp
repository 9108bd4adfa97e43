#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <juce_events/juce_events.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include "device/platform/LinuxHidDevice.h"
#include "device/platform/LinuxHidManager.h"
#include "device/platform/LinuxHidParsing.h"
#include "support/MessagePump.h"

using namespace tessel::linuxhid;

namespace
{
constexpr const char* korvel = "KORVEL-TESSEL";

bool isWatched (int fd)
{
    const auto fds = juce::LinuxEventLoopInternal::getRegisteredFds();
    return std::find (fds.begin(), fds.end(), fd) != fds.end();
}

//==============================================================================
// Text as udev and sysfs show it for devices seen on real desktops.

UsbParentText korvelAmp()
{
    UsbParentText text;
    text.idVendor = "7c5a";
    text.idProduct = "0003";
    text.manufacturer = "KORVEL-TESSEL";
    text.product = "KORVEL TESSEL AMP";
    text.vendorIdProperty = "7c5a";
    text.modelIdProperty = "0003";
    text.vendorEncProperty = "KORVEL-TESSEL";
    text.modelEncProperty = "KORVEL\\x20TESSEL\\x20AMP";
    return text;
}

struct RecordedDevice
{
    std::string name;
    UsbParentText parent;
    HidProperties expected;
    bool matchesKorvel;
};

std::ostream& operator<< (std::ostream& stream, const RecordedDevice& device)
{
    return stream << device.name;
}

std::vector<RecordedDevice> recordedDevices()
{
    std::vector<RecordedDevice> devices;

    devices.push_back ({ "KorvelAmp", korvelAmp(),
                         { 0x7c5a, 0x0003, "KORVEL-TESSEL", "KORVEL TESSEL AMP" }, true });

    {
        // A pedal in firmware update mode: a different USB ID, same maker string.
        UsbParentText text;
        text.idVendor = "0483";
        text.idProduct = "5730";
        text.manufacturer = "KORVEL-TESSEL";
        text.product = "KORVEL UPDATE";
        devices.push_back ({ "UpdateMode", text, { 0x0483, 0x5730, "KORVEL-TESSEL", "KORVEL UPDATE" }, true });
    }

    {
        UsbParentText text;
        text.idVendor = "046d";
        text.idProduct = "c31c";
        text.manufacturer = "Logitech";
        text.product = "USB Keyboard";
        text.vendorIdProperty = "046d";
        text.modelIdProperty = "c31c";
        text.vendorEncProperty = "Logitech";
        text.modelEncProperty = "USB\\x20Keyboard";
        devices.push_back ({ "Keyboard", text, { 0x046d, 0xc31c, "Logitech", "USB Keyboard" }, false });
    }

    // A hidraw node with no USB parent (Bluetooth, uhid): nothing is known.
    devices.push_back ({ "NoUsbParent", {}, {}, false });

    {
        // A device without string descriptors; udev then puts the hex IDs
        // where the names would be.
        UsbParentText text;
        text.idVendor = "7c5a";
        text.idProduct = "0004";
        text.vendorIdProperty = "7c5a";
        text.modelIdProperty = "0004";
        text.vendorEncProperty = "7c5a";
        text.modelEncProperty = "0004";
        devices.push_back ({ "NoStrings", text, { 0x7c5a, 0x0004, std::nullopt, std::nullopt }, false });
    }

    {
        UsbParentText text = korvelAmp();
        text.idVendor = "7C5A";
        text.idProduct = "0005\n";
        text.manufacturer = "KORVEL-TESSEL\n";
        devices.push_back ({ "UppercaseHexAndRawNewlines", text,
                             { 0x7c5a, 0x0005, "KORVEL-TESSEL", "KORVEL TESSEL AMP" }, true });
    }

    {
        UsbParentText text;
        text.idVendor = "zz!?";
        text.idProduct = "";
        text.manufacturer = "KORVEL-TESSEL";
        devices.push_back ({ "GarbageIds", text, { std::nullopt, std::nullopt, "KORVEL-TESSEL", std::nullopt }, true });
    }

    {
        // sysfs not readable (a sandbox), but udev's database is.
        UsbParentText text;
        text.vendorIdProperty = "7c5a";
        text.modelIdProperty = "0006";
        text.vendorEncProperty = "KORVEL-TESSEL";
        text.modelEncProperty = "KORVEL\\x20TESSEL\\x20DRIVE";
        devices.push_back ({ "OnlyUdevDatabase", text,
                             { 0x7c5a, 0x0006, "KORVEL-TESSEL", "KORVEL TESSEL DRIVE" }, true });
    }

    for (auto [name, manufacturer] : { std::pair { "TrailingSpace", "KORVEL-TESSEL " },
                                       std::pair { "LowerCase", "korvel-tessel" },
                                       std::pair { "Prefix", "KORVEL" },
                                       std::pair { "Empty", "" } })
    {
        UsbParentText text = korvelAmp();
        text.manufacturer = manufacturer;
        devices.push_back ({ std::string ("NearMiss") + name, text,
                             { 0x7c5a, 0x0003, manufacturer, "KORVEL TESSEL AMP" }, false });
    }

    return devices;
}

class RecordedDeviceTest : public ::testing::TestWithParam<RecordedDevice>
{
};

//==============================================================================
// A stand-in for a hidraw node: a datagram socket pair also hands over one
// whole report per read and write.
struct FakeNode
{
    FakeNode()
    {
        int fds[2];

        if (::socketpair (AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) == 0)
        {
            deviceEnd = fds[0];
            pedalEnd = fds[1];
        }
    }

    ~FakeNode()
    {
        closePedalEnd();
    }

    void closePedalEnd()
    {
        if (pedalEnd >= 0)
            ::close (pedalEnd);

        pedalEnd = -1;
    }

    bool pedalSends (const std::vector<uint8_t>& report) const
    {
        return ::write (pedalEnd, report.data(), report.size()) == (ssize_t) report.size();
    }

    std::vector<uint8_t> pedalReceives() const
    {
        std::vector<uint8_t> frame (256);
        const auto got = ::read (pedalEnd, frame.data(), frame.size());
        frame.resize (got > 0 ? (size_t) got : 0);
        return frame;
    }

    bool deviceEndClosed() const
    {
        pollfd pfd { pedalEnd, POLLIN, 0 };
        return ::poll (&pfd, 1, 0) == 1 && (pfd.revents & POLLHUP) != 0;
    }

    int deviceEnd = -1; // handed to the device, which closes it
    int pedalEnd = -1;
};

std::vector<uint8_t> reportFilledWith (uint8_t first, size_t size = 64)
{
    std::vector<uint8_t> report (size);

    for (size_t i = 0; i < size; ++i)
        report[i] = (uint8_t) (first + i);

    return report;
}

struct ReceivedReport
{
    HidResult result;
    void* sender;
    HidReportType type;
    uint32_t reportID;
    std::vector<uint8_t> bytes;
    bool onMessageThread;
};

struct ReportSink
{
    std::vector<ReceivedReport> received;
    std::function<void()> afterEachReport;

    static void callback (void* context, HidResult result, void* sender, HidReportType type,
                          uint32_t reportID, uint8_t* report, long length)
    {
        auto& sink = *static_cast<ReportSink*> (context);
        sink.received.push_back ({ result, sender, type, reportID,
                                   std::vector<uint8_t> (report, report + length),
                                   juce::MessageManager::existsAndIsCurrentThread() });

        if (sink.afterEachReport)
            sink.afterEachReport();
    }
};

std::unique_ptr<LinuxHidDevice> ampDevice()
{
    return std::make_unique<LinuxHidDevice> (propertiesOf (korvelAmp()),
                                             "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:7C5A:0003.0004/hidraw/hidraw3",
                                             "/dev/hidraw3");
}

std::optional<int32_t> intProperty (const HidDevice& device, const char* key)
{
    int32_t value = -1;

    if (! device.getIntProperty (key, value))
        return std::nullopt;

    return value;
}

std::optional<std::string> stringProperty (const HidDevice& device, const char* key)
{
    juce::String value;

    if (! device.getStringProperty (key, value))
        return std::nullopt;

    return value.toStdString();
}

struct DeviceCounter
{
    int matched = 0;
    int removed = 0;

    static void onMatch (void* context, HidResult, void*, HidDeviceRef)
    {
        ++static_cast<DeviceCounter*> (context)->matched;
    }

    static void onRemove (void* context, HidResult, void*, HidDeviceRef)
    {
        ++static_cast<DeviceCounter*> (context)->removed;
    }
};
} // namespace

//==============================================================================
TEST (LinuxHidText, UsbIdsAreReadAsSysfsWritesThemAndAnythingElseIsRejected)
{
    EXPECT_EQ (parseUsbId ("7c5a"), 0x7c5a);
    EXPECT_EQ (parseUsbId ("0003"), 0x0003);
    EXPECT_EQ (parseUsbId ("0483"), 0x0483);
    EXPECT_EQ (parseUsbId ("5730"), 0x5730);
    EXPECT_EQ (parseUsbId ("7C5A"), 0x7c5a);
    EXPECT_EQ (parseUsbId ("ffff"), 0xffff);
    EXPECT_EQ (parseUsbId ("7c5a\n"), 0x7c5a) << "the raw file ends in a newline";
    EXPECT_EQ (parseUsbId ("3"), 3);

    for (const auto* garbage : { "", "\n", "   ", "zz12", "7c5g", "0x7c5a", "7c5a9", "-1", "7c 5a", "7c5a,0003" })
        EXPECT_EQ (parseUsbId (garbage), std::nullopt) << "'" << garbage << "'";
}

TEST (LinuxHidText, UdevEscapedNamesDecodeToTheDeviceStrings)
{
    EXPECT_EQ (decodeUdevEscapes ("KORVEL\\x20TESSEL\\x20AMP"), "KORVEL TESSEL AMP");
    EXPECT_EQ (decodeUdevEscapes ("KORVEL-TESSEL"), "KORVEL-TESSEL");
    EXPECT_EQ (decodeUdevEscapes ("AC\\x2fDC\\x2FBox"), "AC/DC/Box") << "either case of hex";
    EXPECT_EQ (decodeUdevEscapes ("back\\x5cslash"), "back\\slash");
    EXPECT_EQ (decodeUdevEscapes ("Gr\\xc3\\xbcn"), "Gr\xc3\xbcn") << "escaped UTF-8 bytes come back as UTF-8";
    EXPECT_EQ (decodeUdevEscapes ("Gr\xc3\xbcn"), "Gr\xc3\xbcn") << "UTF-8 udev left alone stays";
    EXPECT_EQ (decodeUdevEscapes (""), "");

    // Malformed escapes are kept as text rather than guessed at.
    EXPECT_EQ (decodeUdevEscapes ("end\\x2"), "end\\x2");
    EXPECT_EQ (decodeUdevEscapes ("end\\x"), "end\\x");
    EXPECT_EQ (decodeUdevEscapes ("end\\"), "end\\");
    EXPECT_EQ (decodeUdevEscapes ("\\xZZ\\x20"), "\\xZZ ");
    EXPECT_EQ (decodeUdevEscapes ("\\n\\t"), "\\n\\t");
}

TEST_P (RecordedDeviceTest, PropertiesAndMatchComeFromTheUsbParent)
{
    const auto& device = GetParam();
    const auto properties = propertiesOf (device.parent);

    EXPECT_EQ (properties.vendorId, device.expected.vendorId);
    EXPECT_EQ (properties.productId, device.expected.productId);
    EXPECT_EQ (properties.manufacturer, device.expected.manufacturer);
    EXPECT_EQ (properties.product, device.expected.product);
    EXPECT_EQ (matchesManufacturer (properties, korvel), device.matchesKorvel);

    // What a device shows through HidDevice is exactly that.
    const LinuxHidDevice hidDevice (properties, "/sys/devices/virtual/hidraw/hidraw9", "/dev/hidraw9");

    EXPECT_EQ (intProperty (hidDevice, HidDevice::vendorIdKey), device.expected.vendorId);
    EXPECT_EQ (intProperty (hidDevice, HidDevice::productIdKey), device.expected.productId);
    EXPECT_EQ (stringProperty (hidDevice, HidDevice::manufacturerKey), device.expected.manufacturer);
    EXPECT_EQ (stringProperty (hidDevice, HidDevice::productKey), device.expected.product);

    int32_t number = -1;
    juce::String text;

    // Numbers aren't text and text isn't a number; unknown keys are absent.
    EXPECT_FALSE (hidDevice.getStringProperty (HidDevice::vendorIdKey, text));
    EXPECT_FALSE (hidDevice.getIntProperty (HidDevice::manufacturerKey, number));
    EXPECT_FALSE (hidDevice.getIntProperty ("SerialNumber", number));
    EXPECT_FALSE (hidDevice.getStringProperty ("SerialNumber", text));
}

INSTANTIATE_TEST_SUITE_P (LinuxHidText, RecordedDeviceTest, ::testing::ValuesIn (recordedDevices()),
                          [] (const auto& info) { return info.param.name; });

TEST (LinuxHidText, NonUtf8DeviceStringsStillReachTheEditor)
{
    auto text = korvelAmp();
    text.product = std::string ("AMP \xff\xfe");
    const LinuxHidDevice device (propertiesOf (text), "/sys/x", "/dev/hidraw0");

    juce::String product;
    ASSERT_TRUE (device.getStringProperty (HidDevice::productKey, product));
    EXPECT_TRUE (product.startsWith ("AMP "));
    EXPECT_EQ (product.length(), 6);
}

TEST (LinuxHidOpening, PermissionErrorsRightAfterPlugInAreRetriedForAboutASecond)
{
    for (auto error : { EACCES, EPERM })
    {
        int totalWaitMs = 0;
        int attempts = 0;

        while (auto delay = delayBeforeOpenRetryMs (error, ++attempts))
        {
            EXPECT_GT (*delay, 0);
            EXPECT_LE (*delay, 250) << "retries come often enough to catch udev's ACL quickly";
            totalWaitMs += *delay;
            ASSERT_LT (attempts, 100);
        }

        EXPECT_GE (totalWaitMs, 500);
        EXPECT_LE (totalWaitMs, 2000);
    }

    for (auto error : { EIO, ENXIO, ENODEV, EBUSY, EINVAL })
        EXPECT_EQ (delayBeforeOpenRetryMs (error, 1), std::nullopt) << std::strerror (error);
}

//==============================================================================
TEST (LinuxHidDeviceIo, InputReportsArriveOneByOneOnTheMessageThread)
{
    FakeNode node;
    ASSERT_GE (node.deviceEnd, 0);

    auto device = ampDevice();
    device->adoptFd (node.deviceEnd);
    EXPECT_FALSE (isWatched (node.deviceEnd)) << "nothing is read before somebody listens";

    std::array<uint8_t, 64> buffer {};
    ReportSink sink;
    device->registerInputReportCallback (buffer.data(), (long) buffer.size(), &ReportSink::callback, &sink);
    EXPECT_TRUE (isWatched (node.deviceEnd));

    // A burst, as when the pedal answers a bulk request.
    for (uint8_t first : { 0x10, 0x50, 0x90 })
        ASSERT_TRUE (node.pedalSends (reportFilledWith (first)));

    ASSERT_TRUE (tessel::test::pumpUntil ([&] { return sink.received.size() >= 3; }));
    tessel::test::pumpPending();
    ASSERT_EQ (sink.received.size(), 3u);

    for (size_t i = 0; i < 3; ++i)
    {
        const auto& report = sink.received[i];
        EXPECT_EQ (report.result, kHidSuccess);
        EXPECT_EQ (report.sender, static_cast<void*> (static_cast<HidDevice*> (device.get())));
        EXPECT_EQ (report.type, HidReportType::input);
        EXPECT_EQ (report.reportID, 0u);
        EXPECT_EQ (report.bytes, reportFilledWith ((uint8_t) (0x10 + 0x40 * i)));
        EXPECT_TRUE (report.onMessageThread);
    }

    // A report longer than the buffer is cut to it, and nothing past it is touched.
    std::array<uint8_t, 24> guarded {};
    guarded.fill (0xee);
    device->registerInputReportCallback (guarded.data(), 16, &ReportSink::callback, &sink);
    ASSERT_TRUE (node.pedalSends (reportFilledWith (0x01)));
    ASSERT_TRUE (tessel::test::pumpUntil ([&] { return sink.received.size() >= 4; }));

    EXPECT_EQ (sink.received[3].bytes, reportFilledWith (0x01, 16));

    for (size_t i = 16; i < guarded.size(); ++i)
        EXPECT_EQ (guarded[i], 0xee);

    // Unregistering (a null callback, as the OS layer takes it) stops the reading.
    device->registerInputReportCallback (guarded.data(), 16, nullptr, nullptr);
    EXPECT_FALSE (isWatched (node.deviceEnd));
}

TEST (LinuxHidDeviceIo, OutputReportsTravelWithTheReportIdInFront)
{
    FakeNode node;
    ASSERT_GE (node.deviceEnd, 0);

    auto device = ampDevice();
    const auto report = reportFilledWith (0x20);

    EXPECT_EQ (device->setReport (HidReportType::output, 0, report.data(), (long) report.size()), kHidError)
        << "a device whose node couldn't be opened can't be written to";

    device->adoptFd (node.deviceEnd);

    ASSERT_EQ (device->setReport (HidReportType::output, 0, report.data(), (long) report.size()), kHidSuccess);
    auto frame = node.pedalReceives();
    ASSERT_EQ (frame.size(), 65u);
    EXPECT_EQ (frame[0], 0);
    EXPECT_EQ (std::vector<uint8_t> (frame.begin() + 1, frame.end()), report);

    const uint8_t shortReport[] = { 0xaa, 0xbb, 0xcc };
    ASSERT_EQ (device->setReport (HidReportType::output, 7, shortReport, 3), kHidSuccess);
    EXPECT_EQ (node.pedalReceives(), (std::vector<uint8_t> { 7, 0xaa, 0xbb, 0xcc }));

    // Nothing is sent for requests hidraw can't carry.
    EXPECT_EQ (device->setReport (HidReportType::input, 0, report.data(), (long) report.size()), kHidError);
    EXPECT_EQ (device->setReport (HidReportType::output, 256, report.data(), (long) report.size()), kHidError);
    EXPECT_EQ (device->setReport (HidReportType::output, 0, nullptr, 64), kHidError);
    EXPECT_EQ (device->setReport (HidReportType::output, 0, report.data(), -1), kHidError);
    EXPECT_TRUE (node.pedalReceives().empty());

    // A device that takes nothing more makes setReport fail rather than wait.
    int sent = 0;

    while (device->setReport (HidReportType::output, 0, report.data(), (long) report.size()) == kHidSuccess)
        ASSERT_LT (++sent, 1000000);

    EXPECT_GT (sent, 0);
}

TEST (LinuxHidDeviceIo, AnUnpluggedNodeIsNoLongerWatchedAndTheDeviceCanStillBeDeleted)
{
    FakeNode node;
    ASSERT_GE (node.deviceEnd, 0);

    auto device = ampDevice();
    device->adoptFd (node.deviceEnd);

    std::array<uint8_t, 64> buffer {};
    ReportSink sink;
    device->registerInputReportCallback (buffer.data(), (long) buffer.size(), &ReportSink::callback, &sink);
    ASSERT_TRUE (isWatched (node.deviceEnd));

    node.closePedalEnd();
    EXPECT_TRUE (tessel::test::pumpUntil ([&] { return ! isWatched (node.deviceEnd); }));
    EXPECT_TRUE (sink.received.empty());

    // Listening again doesn't bring a dead node back into the loop.
    device->registerInputReportCallback (buffer.data(), (long) buffer.size(), &ReportSink::callback, &sink);
    EXPECT_FALSE (isWatched (node.deviceEnd));

    device.reset();
    tessel::test::pumpPending();
}

TEST (LinuxHidDeviceIo, DeletingTheDeviceStopsReportsEvenFromInsideItsOwnCallback)
{
    // Deleted with reports waiting: the node is closed and nothing more arrives.
    {
        FakeNode node;
        ASSERT_GE (node.deviceEnd, 0);

        auto device = ampDevice();
        device->adoptFd (node.deviceEnd);

        std::array<uint8_t, 64> buffer {};
        ReportSink sink;
        device->registerInputReportCallback (buffer.data(), (long) buffer.size(), &ReportSink::callback, &sink);
        ASSERT_TRUE (node.pedalSends (reportFilledWith (0x30)));

        const auto fd = node.deviceEnd;
        device.reset();

        EXPECT_FALSE (isWatched (fd));
        tessel::test::pumpUntil ([] { return false; }, 50);
        EXPECT_TRUE (sink.received.empty());

        EXPECT_TRUE (node.deviceEndClosed());
    }

    // Deleted by the callback itself (as when a removal is handled inside a
    // modal loop the callback runs): the rest of the burst is dropped.
    {
        FakeNode node;
        ASSERT_GE (node.deviceEnd, 0);

        auto device = ampDevice();
        device->adoptFd (node.deviceEnd);

        std::array<uint8_t, 64> buffer {};
        ReportSink sink;
        sink.afterEachReport = [&device] { device.reset(); };
        device->registerInputReportCallback (buffer.data(), (long) buffer.size(), &ReportSink::callback, &sink);

        for (uint8_t first : { 0x10, 0x20, 0x30 })
            ASSERT_TRUE (node.pedalSends (reportFilledWith (first)));

        const auto fd = node.deviceEnd;
        ASSERT_TRUE (tessel::test::pumpUntil ([&] { return device == nullptr; }));
        tessel::test::pumpUntil ([] { return false; }, 50);

        EXPECT_EQ (sink.received.size(), 1u);
        EXPECT_FALSE (isWatched (fd));
    }
}

//==============================================================================
// This machine has sysfs but no hidraw nodes and no udev daemon, so the
// manager can only be seen to start, find nothing and clean up after itself.
TEST (LinuxHidManagerHere, StartsFindsNoPedalAndLeavesNothingWatchedWhenDestroyed)
{
    const auto watchedBefore = juce::LinuxEventLoopInternal::getRegisteredFds();

    auto manager = createPlatformHidManager();
    ASSERT_NE (dynamic_cast<LinuxHidManager*> (manager.get()), nullptr);

    DeviceCounter counter;
    manager->setDeviceMatching (korvel);
    manager->registerDeviceMatchingCallback (&DeviceCounter::onMatch, &counter);
    manager->registerDeviceRemovalCallback (&DeviceCounter::onRemove, &counter);

    const auto result = manager->open();
    EXPECT_TRUE (result == kHidSuccess || result == kHidError);

    if (result == kHidSuccess)
    {
        EXPECT_EQ (juce::LinuxEventLoopInternal::getRegisteredFds().size(), watchedBefore.size() + 1)
            << "the udev monitor is watched from the message loop";

        EXPECT_EQ (manager->open(), kHidSuccess) << "opening twice is harmless";
        EXPECT_EQ (juce::LinuxEventLoopInternal::getRegisteredFds().size(), watchedBefore.size() + 1);
    }
    else
    {
        std::printf ("udev couldn't start here; only checking that nothing is reported\n");
        EXPECT_EQ (juce::LinuxEventLoopInternal::getRegisteredFds(), watchedBefore);
    }

    tessel::test::pumpPending();
    tessel::test::pumpUntil ([] { return false; }, 200);

    EXPECT_EQ (counter.matched, 0);
    EXPECT_EQ (counter.removed, 0);

    manager.reset();
    tessel::test::pumpPending();

    EXPECT_EQ (juce::LinuxEventLoopInternal::getRegisteredFds(), watchedBefore);
    EXPECT_EQ (counter.removed, 0) << "tearing down isn't an unplug";
}
