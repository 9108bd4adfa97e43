#include <gtest/gtest.h>

#include <numeric>
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
using namespace tessel::test;

namespace
{
constexpr const char* korvel = "KORVEL-TESSEL";

const auto watchedFds = [] { return juce::LinuxEventLoopInternal::getRegisteredFds(); };
bool isWatched (int fd)
{
    const auto fds = watchedFds();
    return std::find (fds.begin(), fds.end(), fd) != fds.end();
}

// An AMP pedal as sysfs (idVendor, idProduct, manufacturer, product) and udev (ID_VENDOR_ID, ID_MODEL_ID, ..._ENC) show it.
const UsbParentText korvelAmp { "7c5a", "0003", "KORVEL-TESSEL", "KORVEL TESSEL AMP",
                                "7c5a", "0003", "KORVEL-TESSEL", "KORVEL\\x20TESSEL\\x20AMP" };

/** Stands in for a hidraw node: a datagram socket pair also hands over one whole report per read and write. */
struct FakeNode
{
    FakeNode() { ::socketpair (AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds); }
    ~FakeNode() { closePedalEnd(); }
    void closePedalEnd()
    {
        if (pedalEnd >= 0)
            ::close (std::exchange (pedalEnd, -1));
    }

    bool pedalSends (const std::vector<uint8_t>& r) const
    {
        return ::write (pedalEnd, r.data(), r.size()) == (ssize_t) r.size();
    }
    std::vector<uint8_t> pedalReceives() const
    {
        std::vector<uint8_t> frame (256);
        frame.resize ((size_t) std::max<ssize_t> (0, ::read (pedalEnd, frame.data(), frame.size())));
        return frame;
    }

    int fds[2] = { -1, -1 };
    int& deviceEnd = fds[0]; // handed to the device, which closes it
    int& pedalEnd = fds[1];
};

std::vector<uint8_t> reportFrom (uint8_t first, size_t size = 64)
{
    std::vector<uint8_t> report (size);
    std::iota (report.begin(), report.end(), first);
    return report;
}

std::unique_ptr<LinuxHidDevice> ampDevice()
{
    return std::make_unique<LinuxHidDevice> (propertiesOf (korvelAmp), "/sys/x", "/dev/hidraw3");
}

/** An AMP pedal's device on a fake node, with somebody listening to its reports. */
struct ListenedDevice : HidDevice::InputListener
{
    ListenedDevice()
    {
        device->adoptFd (node.deviceEnd);
        listen (buffer.data(), (long) buffer.size());
    }
    void listen (uint8_t* into, long length) { device->setInputListener (this, into, length); }

    void inputReportArrived (HidDevice& sender, uint8_t* report, long length) override
    {
        // Told by the device that read it, on the message thread.
        EXPECT_TRUE (&sender == device.get() && juce::MessageManager::existsAndIsCurrentThread());
        received.emplace_back (report, report + length);
        if (afterEachReport)
            afterEachReport();
    }

    FakeNode node;
    const int fd = node.deviceEnd;
    std::unique_ptr<LinuxHidDevice> device = ampDevice();
    std::array<uint8_t, 64> buffer {};
    std::vector<std::vector<uint8_t>> received;
    std::function<void()> afterEachReport;
};
} // namespace

TEST (LinuxHidText, UsbIdsAndUdevEscapesAreReadAsSysfsAndUdevWriteThem)
{
    const std::pair<const char*, int> ids[] = { { "7c5a", 0x7c5a }, { "7C5A", 0x7c5a }, { "7c5a\n", 0x7c5a },
                                                { "ffff", 0xffff }, { "0003", 3 },      { "3", 3 } };
    for (auto [text, id] : ids)
        EXPECT_EQ (parseUsbId (text), id) << text;

    for (const auto* garbage : { "", "\n", "   ", "zz12", "7c5g", "0x7c5a", "7c5a9", "-1", "7c 5a", "7c5a,0003" })
        EXPECT_EQ (parseUsbId (garbage), std::nullopt) << "'" << garbage << "'";

    // Escaped UTF-8 comes back as UTF-8; malformed escapes are kept as text rather than guessed at.
    const std::pair<const char*, const char*> escapes[] = {
        { "KORVEL\\x20TESSEL\\x20AMP", "KORVEL TESSEL AMP" },
        { "AC\\x2fDC\\x2FBox", "AC/DC/Box" },
        { "back\\x5cslash", "back\\slash" },
        { "Gr\\xc3\\xbcn", "Gr\xc3\xbcn" },
        { "Gr\xc3\xbcn", "Gr\xc3\xbcn" },
        { "end\\x2", "end\\x2" },
        { "end\\x", "end\\x" },
        { "end\\", "end\\" },
        { "\\xZZ\\x20", "\\xZZ " },
        { "\\n\\t", "\\n\\t" },
    };
    for (auto [encoded, decoded] : escapes)
        EXPECT_EQ (decodeUdevEscapes (encoded), decoded) << encoded;
}

TEST (LinuxHidText, RecordedDevicesShowTheirUsbParentsPropertiesAndOnlyKorvelMatches)
{
    const struct
    {
        const char* name;
        UsbParentText parent;
        HidProperties expected;
        bool matches;
    } devices[] = {
        { "AMP pedal", korvelAmp, { 0x7c5a, 0x0003, "KORVEL-TESSEL", "KORVEL TESSEL AMP" }, true },
        { "no string descriptors: udev puts the IDs where the names would be",
          { "7c5a", "0004", {}, {}, "7c5a", "0004", "7c5a", "0004" },
          { 0x7c5a, 0x0004, {}, {} },
          false },
        { "upper-case hex and raw newlines",
          { "7C5A", "0005\n", "KORVEL-TESSEL\n", "KORVEL TESSEL AMP", {}, {}, {}, {} },
          { 0x7c5a, 0x0005, "KORVEL-TESSEL", "KORVEL TESSEL AMP" },
          true },
        { "sysfs unreadable, udev's database not",
          { {}, {}, {}, {}, "7c5a", "0006", "KORVEL-TESSEL", "KORVEL\\x20TESSEL\\x20DRIVE" },
          { 0x7c5a, 0x0006, "KORVEL-TESSEL", "KORVEL TESSEL DRIVE" },
          true },
    };

    for (const auto& d : devices)
    {
        SCOPED_TRACE (d.name);
        const auto p = propertiesOf (d.parent);
        EXPECT_TRUE (
            std::tie (p.vendorId, p.productId, p.manufacturer, p.product)
            == std::tie (d.expected.vendorId, d.expected.productId, d.expected.manufacturer, d.expected.product));
        EXPECT_EQ (matchesManufacturer (p, korvel), d.matches);
    }

    const auto madeBy = [] (const char* manufacturer)
    {
        auto text = korvelAmp;
        text.manufacturer = manufacturer;
        return propertiesOf (text);
    };
    for (const auto* nearMiss : { "KORVEL-TESSEL ", "korvel-tessel", "KORVEL", "" })
        EXPECT_FALSE (matchesManufacturer (madeBy (nearMiss), korvel)) << '"' << nearMiss << '"';

    // Read through HidDevice's keys, as the live link does; a broken descriptor's non-UTF-8 bytes arrive one character each.
    auto text = korvelAmp;
    text.product = "AMP \xff\xfe";
    const LinuxHidDevice device (propertiesOf (text), "/sys/x", "/dev/hidraw0");
    int32_t vendorId = 0, productId = 0;
    juce::String manufacturer, product;
    EXPECT_TRUE (device.getIntProperty (HidDevice::vendorIdKey, vendorId)
                 && device.getIntProperty (HidDevice::productIdKey, productId) && vendorId == 0x7c5a && productId == 3);
    EXPECT_TRUE (device.getStringProperty (HidDevice::manufacturerKey, manufacturer)
                 && device.getStringProperty (HidDevice::productKey, product) && manufacturer == "KORVEL-TESSEL"
                 && product.startsWith ("AMP ") && product.length() == 6);
    EXPECT_FALSE (device.getIntProperty (HidDevice::manufacturerKey, vendorId));
    juce::String path;
    EXPECT_TRUE (device.getStringProperty (HidDevice::devicePathKey, path) && path == "/dev/hidraw0")
        << "the node, which hidapi's hidraw backend opens by";
    EXPECT_FALSE (LinuxHidDevice (propertiesOf ({}), "/sys/x", "/dev/hidraw1")
                      .getStringProperty (HidDevice::manufacturerKey, product));
}

TEST (LinuxHidOpening, PermissionErrorsRightAfterPlugInAreRetriedForAboutASecond)
{
    for (auto error : { EACCES, EPERM })
    {
        int totalWaitMs = 0, attempts = 0;
        while (auto delay = delayBeforeOpenRetryMs (error, ++attempts))
        {
            EXPECT_TRUE (*delay > 0 && *delay <= 250) << "retries come often enough to catch udev's ACL quickly";
            totalWaitMs += *delay;
            ASSERT_LT (attempts, 100);
        }
        EXPECT_TRUE (totalWaitMs >= 500 && totalWaitMs <= 2000) << totalWaitMs;
    }

    for (auto error : { EIO, ENXIO, ENODEV, EBUSY, EINVAL })
        EXPECT_EQ (delayBeforeOpenRetryMs (error, 1), std::nullopt) << std::strerror (error);
}

TEST (LinuxHidDeviceIo, InputReportsArriveOneByOneOnTheMessageThread)
{
    ListenedDevice pedal;
    ASSERT_TRUE (pedal.fd >= 0 && isWatched (pedal.fd));

    for (uint8_t first : { 0x10, 0x50, 0x90 })
        ASSERT_TRUE (pedal.node.pedalSends (reportFrom (first)));

    ASSERT_TRUE (pumpUntil ([&] { return pedal.received.size() >= 3; }));
    pumpPending();
    EXPECT_EQ (pedal.received,
               (std::vector<std::vector<uint8_t>> { reportFrom (0x10), reportFrom (0x50), reportFrom (0x90) }));

    // A report longer than the buffer is cut to it, and nothing past it is touched.
    std::vector<uint8_t> guarded (24, 0xee);
    pedal.listen (guarded.data(), 16);
    ASSERT_TRUE (pedal.node.pedalSends (reportFrom (0x01)));
    ASSERT_TRUE (pumpUntil ([&] { return pedal.received.size() >= 4; }));
    EXPECT_EQ (pedal.received[3], reportFrom (0x01, 16));
    EXPECT_TRUE (std::all_of (guarded.begin() + 16, guarded.end(), [] (uint8_t b) { return b == 0xee; }));

    // A null listener stops the reading.
    pedal.device->setInputListener (nullptr, guarded.data(), 16);
    EXPECT_FALSE (isWatched (pedal.fd));
}

TEST (LinuxHidDeviceIo, OutputReportsTravelAs65BytesWithTheReportIdFirst)
{
    FakeNode node;
    ASSERT_GE (node.deviceEnd, 0);
    auto device = ampDevice();
    const auto report = reportFrom (0x20);

    EXPECT_EQ (device->setReport (HidReportType::output, 0, report.data(), 64), kHidError)
        << "no node, nothing to write to";
    device->adoptFd (node.deviceEnd);
    EXPECT_FALSE (isWatched (node.deviceEnd)) << "nothing is read before somebody listens";

    ASSERT_EQ (device->setReport (HidReportType::output, 0, report.data(), 64), kHidSuccess);
    const auto received = node.pedalReceives();
    EXPECT_TRUE (received.size() == 65 && received[0] == 0
                 && std::equal (report.begin(), report.end(), received.begin() + 1));

    const uint8_t shortReport[] = { 0xaa, 0xbb, 0xcc };
    ASSERT_EQ (device->setReport (HidReportType::output, 7, shortReport, 3), kHidSuccess);
    EXPECT_EQ (node.pedalReceives(), (std::vector<uint8_t> { 7, 0xaa, 0xbb, 0xcc }));

    // Nothing is sent for requests hidraw can't carry.
    EXPECT_TRUE (device->setReport (HidReportType::input, 0, report.data(), 64) == kHidError
                 && device->setReport (HidReportType::output, 256, report.data(), 64) == kHidError
                 && device->setReport (HidReportType::output, 0, nullptr, 64) == kHidError
                 && device->setReport (HidReportType::output, 0, report.data(), -1) == kHidError
                 && node.pedalReceives().empty());

    // A device that takes nothing more makes setReport fail rather than wait.
    int sent = 0;
    while (device->setReport (HidReportType::output, 0, report.data(), 64) == kHidSuccess)
        ASSERT_LT (++sent, 1000000);
    EXPECT_GT (sent, 0);
}

TEST (LinuxHidDeviceIo, AGoneNodeOrADeletedDeviceStopsTheReadingEvenFromInsideItsCallback)
{
    {
        ListenedDevice unplugged;
        unplugged.node.closePedalEnd();
        EXPECT_TRUE (pumpUntil ([&] { return ! isWatched (unplugged.fd); }) && unplugged.received.empty());

        unplugged.listen (unplugged.buffer.data(), 64);
        EXPECT_FALSE (isWatched (unplugged.fd)) << "listening again doesn't bring a dead node back";
        unplugged.device.reset();
        pumpPending();
    }

    // As when a removal is handled inside a modal loop the callback runs: the rest of the burst is dropped.
    ListenedDevice deletedByItsCallback;
    deletedByItsCallback.afterEachReport = [&] { deletedByItsCallback.device.reset(); };
    for (uint8_t first : { 0x10, 0x20, 0x30 })
        ASSERT_TRUE (deletedByItsCallback.node.pedalSends (reportFrom (first)));

    ASSERT_TRUE (pumpUntil ([&] { return deletedByItsCallback.device == nullptr; }));
    pumpUntil ([] { return false; }, 50);
    EXPECT_TRUE (deletedByItsCallback.received.size() == 1u && ! isWatched (deletedByItsCallback.fd));
    pollfd pedalEnd { deletedByItsCallback.node.pedalEnd, POLLIN, 0 };
    EXPECT_TRUE (::poll (&pedalEnd, 1, 0) == 1 && (pedalEnd.revents & POLLHUP) != 0) << "the node is closed";
}

// With sysfs but no hidraw nodes or udev daemon here, the manager can only start, find nothing and clean up.
TEST (LinuxHidManagerHere, StartsFindsNoPedalAndLeavesNothingWatchedWhenDestroyed)
{
    const auto watchedBefore = watchedFds();
    auto manager = createPlatformHidManager();
    ASSERT_NE (dynamic_cast<LinuxHidManager*> (manager.get()), nullptr);

    struct : HidManager::Listener
    {
        void deviceMatched (HidDevice&) override { ++notices; }
        void deviceRemoved (HidDevice&) override { ++notices; }
        int notices = 0;
    } counter;
    manager->setDeviceMatching (korvel);
    manager->setListener (&counter);

    // Without a udev daemon it may not start; then it must watch nothing. Opening twice is harmless.
    const auto started = manager->open() == kHidSuccess && manager->open() == kHidSuccess;
    EXPECT_EQ (watchedFds().size(), watchedBefore.size() + (started ? 1 : 0)) << "the udev monitor is watched once";

    pumpUntil ([] { return false; }, 200);
    manager.reset();
    pumpPending();

    EXPECT_TRUE (counter.notices == 0 && watchedFds() == watchedBefore)
        << "nothing found, tearing down is no unplug and leaves nothing watched";
}

// Right after a pedal is plugged in, its node may not be there or open to us
// yet: the manager tries again for about a second. The editor may quit
// meanwhile; nothing of the retries may be left behind then.
TEST (LinuxHidManagerRetries, APedalNodeNotReadyYetIsOpenedOnRetryAndAManagerEndingMeanwhileLeavesNoRetry)
{
    const juce::TemporaryFile node;
    const auto nodePath = node.getFile().getFullPathName().toStdString();
    const auto recorded = [&]
    {
        return std::vector<LinuxHidManager::RecordedNode> { { korvelAmp, "/sys/devices/usb1/1-2/hidraw/hidraw3",
                                                              nodePath } };
    };

    struct : HidManager::Listener
    {
        void deviceMatched (HidDevice&) override { ++matched; }
        void deviceRemoved (HidDevice&) override {}
        int matched = 0;
    } heard;

    {
        LinuxHidManager manager (recorded);
        manager.setDeviceMatching (korvel);
        manager.setListener (&heard);
        ASSERT_EQ (manager.open(), kHidSuccess);
        pumpPending();
        EXPECT_EQ (heard.matched, 0) << "not told of a node it is still trying to open";

        // udev has made the node.
        ASSERT_TRUE (node.getFile().create());
        EXPECT_TRUE (pumpUntil ([&] { return heard.matched == 1; }));
        node.getFile().deleteFile();
    }

    // Gone before its first retry, as when the editor quits right after start.
    {
        LinuxHidManager manager (recorded);
        manager.setDeviceMatching (korvel);
        manager.setListener (&heard);
        ASSERT_EQ (manager.open(), kHidSuccess);
    }

    EXPECT_EQ (heard.matched, 1);
}
