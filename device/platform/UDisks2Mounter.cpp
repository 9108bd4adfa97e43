#include "device/platform/UDisks2Mounter.h"
#include "device/platform/OwnedCalls.h"

#include <atomic>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>

#include <gio/gio.h>
#include <sys/sysmacros.h>

#include <juce_events/juce_events.h>

namespace
{
constexpr const char* service = "org.freedesktop.UDisks2";
constexpr const char* rootObject = "/org/freedesktop/UDisks2";
constexpr const char* blockInterface = "org.freedesktop.UDisks2.Block";
constexpr const char* filesystemInterface = "org.freedesktop.UDisks2.Filesystem";

template <typename T, void (*release) (T*)>
struct Held
{
    T* p = nullptr;
    ~Held()
    {
        if (p != nullptr)
            release (p);
    }
    T** operator&() { return &p; }
    operator T*() const { return p; }
};

// A connection of our own is closed by us: nothing else would end it.
void closeConnection (GDBusConnection* c)
{
    g_dbus_connection_close_sync (c, nullptr, nullptr);
    g_object_unref (c);
}

void unrefVariant (GVariant* v)
{
    g_variant_unref (v);
}
void freeString (gchar* s)
{
    g_free (s);
}

using Connection = Held<GDBusConnection, closeConnection>;
using Variant = Held<GVariant, unrefVariant>;
using Text = Held<gchar, freeString>;
using Error = Held<GError, g_error_free>;

/** The bus knows no udisks2: nothing would start it when asked, so it is
    not installed (the bus starts an installed one on the first call). */
bool udisks2Missing (GError* error)
{
    return error != nullptr
        && (g_error_matches (error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN)
            || g_error_matches (error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER));
}

bool isRemoteError (GError* error, const char* name)
{
    if (error == nullptr || ! g_dbus_error_is_remote_error (error))
        return false;

    Text remote;
    remote.p = g_dbus_error_get_remote_error (error);
    return remote != nullptr && std::strcmp (remote, name) == 0;
}

/** udisks2 names what went wrong; a bus or a daemon that is not there, that
    stops while we wait, or that says nothing in time, gets words of our own.
    udisks2's own texts can end in a newline, which no message or log line
    wants. */
juce::String whyOf (GError* error)
{
    if (error == nullptr)
        return "no answer";

    if (udisks2Missing (error))
        return "udisks2 is not installed";

    // What the bus answers for a daemon that went away before it replied.
    if (g_error_matches (error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY))
        return "udisks2 stopped before it answered";

    if (g_error_matches (error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)
        || g_error_matches (error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT))
        return "udisks2 did not answer in time";

    if (g_dbus_error_is_remote_error (error))
    {
        Text name;
        name.p = g_dbus_error_get_remote_error (error);
        g_dbus_error_strip_remote_error (error);
        return juce::String::fromUTF8 (error->message).trim() + " (" + juce::String::fromUTF8 (name) + ")";
    }

    return juce::String::fromUTF8 (error->message).trim();
}

MountAnswer refused (const juce::String& why, MountFailure failure = MountFailure::refused)
{
    return { {}, why.trim(), failure };
}

MountAnswer refusedFor (GError* error)
{
    const auto failure = udisks2Missing (error) ? MountFailure::noUDisks2 : MountFailure::refused;
    return refused (whyOf (error), failure);
}

int msLeft (juce::uint32 deadline)
{
    const auto now = juce::Time::getMillisecondCounter();
    return now < deadline ? (int) (deadline - now) : 1;
}

/** The first mount point of a Filesystem interface's properties; empty when
    it has none. */
juce::String firstMountPoint (GVariant* filesystem)
{
    Variant points;
    points.p = g_variant_lookup_value (filesystem, "MountPoints", G_VARIANT_TYPE ("aay"));

    if (points == nullptr || g_variant_n_children (points) == 0)
        return {};

    Variant first;
    first.p = g_variant_get_child_value (points, 0);
    gsize size = 0;
    const auto* bytes = static_cast<const char*> (g_variant_get_fixed_array (first, &size, 1));

    // A bytestring; udisks2 ends it with a NUL.
    while (size > 0 && bytes[size - 1] == '\0')
        --size;

    return juce::String::fromUTF8 (bytes, (int) size);
}

/** Finds the block device's object among udisks2's. Returns its path, or
    empty; `filesystem` gets the properties of its Filesystem interface,
    which only a device holding a file system udisks2 can mount has. */
juce::String findBlockObject (GVariant* managedObjects, guint64 deviceNumber, GVariant** filesystem)
{
    Variant objects;
    objects.p = g_variant_get_child_value (managedObjects, 0);

    GVariantIter iter;
    g_variant_iter_init (&iter, objects);
    const gchar* path = nullptr;
    GVariant* interfaces = nullptr;

    while (g_variant_iter_next (&iter, "{&o@a{sa{sv}}}", &path, &interfaces))
    {
        Variant held;
        held.p = interfaces;

        Variant block;
        block.p = g_variant_lookup_value (interfaces, blockInterface, G_VARIANT_TYPE ("a{sv}"));
        guint64 number = 0;

        if (block == nullptr || ! g_variant_lookup (block, "DeviceNumber", "t", &number) || number != deviceNumber)
            continue;

        *filesystem = g_variant_lookup_value (interfaces, filesystemInterface, G_VARIANT_TYPE ("a{sv}"));
        return juce::String::fromUTF8 (path);
    }

    return {};
}

/** Asks udisks2 for its objects and finds the block device's among them
    (see findBlockObject). False when udisks2 did not answer; `error` says why. */
bool lookUp (GDBusConnection* bus, guint64 deviceNumber, juce::uint32 deadline, GCancellable* cancel,
             juce::String& object, GVariant*& filesystem, GError** error)
{
    Variant managed;
    managed.p = g_dbus_connection_call_sync (bus, service, rootObject, "org.freedesktop.DBus.ObjectManager",
                                             "GetManagedObjects", nullptr, G_VARIANT_TYPE ("(a{oa{sa{sv}}})"),
                                             G_DBUS_CALL_FLAGS_NONE, msLeft (deadline), cancel, error);

    if (managed == nullptr)
        return false;

    object = findBlockObject (managed, deviceNumber, &filesystem);
    return true;
}

MountAnswer askUDisks2ToMount (guint64 deviceNumber, int timeoutMs, GCancellable* cancel)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    Error error;

    // Read afresh each time: the system bus, or the one DBUS_SYSTEM_BUS_ADDRESS names.
    Text address;
    address.p = g_dbus_address_get_for_bus_sync (G_BUS_TYPE_SYSTEM, cancel, &error);

    if (address == nullptr)
        return refused ("no system bus: " + whyOf (error));

    Connection bus;
    bus.p = g_dbus_connection_new_for_address_sync (
        address,
        (GDBusConnectionFlags) (G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancel, &error);

    if (bus == nullptr)
        return refused ("no system bus: " + whyOf (error));

    Variant filesystem;
    juce::String object;

    if (! lookUp (bus, deviceNumber, deadline, cancel, object, filesystem.p, &error))
        return refusedFor (error);

    if (object.isEmpty())
        return refused ("udisks2 does not know the device");

    if (filesystem == nullptr)
        return refused ("udisks2 finds no file system on the device");

    if (auto path = firstMountPoint (filesystem); path.isNotEmpty())
        return { path, {} };

    // Never a password prompt: it could sit unseen behind the editor's window.
    GVariantBuilder options;
    g_variant_builder_init (&options, G_VARIANT_TYPE ("a{sv}"));
    g_variant_builder_add (&options, "{sv}", "auth.no_user_interaction", g_variant_new_boolean (TRUE));

    Variant answer;
    answer.p = g_dbus_connection_call_sync (bus, service, object.toRawUTF8(), filesystemInterface, "Mount",
                                            g_variant_new ("(a{sv})", &options), G_VARIANT_TYPE ("(s)"),
                                            G_DBUS_CALL_FLAGS_NONE, msLeft (deadline), cancel, &error);

    if (answer == nullptr)
    {
        // Mounted by someone else (the desktop, a moment late) since we
        // looked: where it is now is all the editor wanted.
        if (isRemoteError (error, "org.freedesktop.UDisks2.Error.AlreadyMounted"))
        {
            Error again;
            Variant now;
            juce::String sameObject;

            if (lookUp (bus, deviceNumber, deadline, cancel, sameObject, now.p, &again) && now != nullptr)
                if (auto path = firstMountPoint (now); path.isNotEmpty())
                    return { path, {} };
        }

        return refusedFor (error);
    }

    const gchar* path = nullptr;
    g_variant_get (answer, "(&s)", &path);
    const auto mountPath = juce::String::fromUTF8 (path).trimCharactersAtEnd ("/");

    if (! juce::File::isAbsolutePath (mountPath))
        return refused ("udisks2 answered no usable mount path");

    return { mountPath, {} };
}

bool parseDeviceNumber (const juce::String& text, guint64& number)
{
    const auto majorText = text.upToFirstOccurrenceOf (":", false, false);
    const auto minorText = text.fromFirstOccurrenceOf (":", false, false);

    if (! text.containsChar (':') || ! majorText.containsOnly ("0123456789") || ! minorText.containsOnly ("0123456789")
        || majorText.isEmpty() || minorText.isEmpty())
        return false;

    number = makedev ((unsigned) majorText.getLargeIntValue(), (unsigned) minorText.getLargeIntValue());
    return true;
}
} // namespace

// The calls carry the time-out, but connecting does not: a bus that accepts
// and then never speaks would hold a request for ever. This watch, on the
// message thread, cancels whatever outlives its time.
struct UDisks2Mounter::Requests : private juce::Timer
{
    struct Request
    {
        std::thread thread;
        std::shared_ptr<GCancellable> cancel;
        std::shared_ptr<std::atomic<bool>> timedOut;
        juce::uint32 deadline = 0;
        std::atomic<bool> done { false };
    };

    static constexpr int watchIntervalMs = 100;

    std::mutex lock;
    std::list<Request> running;

    // Answers given at once, without a thread; they go with the mounter.
    OwnedCalls laterCalls;

    ~Requests() override { stopTimer(); }

    void watch() { startTimer (watchIntervalMs); }

    void timerCallback() override
    {
        reapFinished();

        const std::lock_guard<std::mutex> hold (lock);
        const auto now = juce::Time::getMillisecondCounter();

        for (auto& r : running)
        {
            if (! r.done && now > r.deadline)
            {
                *r.timedOut = true;
                g_cancellable_cancel (r.cancel.get());
            }
        }

        if (running.empty())
            stopTimer();
    }

    void reapFinished()
    {
        const std::lock_guard<std::mutex> hold (lock);

        for (auto r = running.begin(); r != running.end();)
        {
            if (! r->done)
            {
                ++r;
                continue;
            }

            r->thread.join();
            r = running.erase (r);
        }
    }

    void cancelAll()
    {
        stopTimer();
        laterCalls.cancelAll();
        std::list<Request> ending;

        {
            const std::lock_guard<std::mutex> hold (lock);
            ending.splice (ending.end(), running);
        }

        for (auto& r : ending)
            g_cancellable_cancel (r.cancel.get());

        for (auto& r : ending)
            r.thread.join();
    }
};

UDisks2Mounter::UDisks2Mounter()
    : requests (std::make_shared<Requests>())
{
}

UDisks2Mounter::~UDisks2Mounter()
{
    requests->cancelAll();
}

void UDisks2Mounter::mount (const juce::String& deviceNumber, Answered answered)
{
    JUCE_ASSERT_MESSAGE_THREAD

    requests->reapFinished();

    std::weak_ptr<Requests> owner = requests;
    guint64 number = 0;

    if (! parseDeviceNumber (deviceNumber, number))
    {
        requests->laterCalls.post ([answered] { answered (refused ("no device number")); });
        return;
    }

    const std::lock_guard<std::mutex> hold (requests->lock);
    auto& request = requests->running.emplace_back();
    request.cancel.reset (g_cancellable_new(), g_object_unref);
    request.timedOut = std::make_shared<std::atomic<bool>> (false);

    const auto cancel = request.cancel;
    const auto timedOut = request.timedOut;
    auto* done = &request.done;
    const auto timeout = timeoutMs;

    // A little after the calls' own time-out, which gives the better reason.
    request.deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeout + 250;
    requests->watch();

    request.thread = std::thread (
        [owner, answered, number, cancel, timedOut, done, timeout]
        {
        auto answer = askUDisks2ToMount (number, timeout, cancel.get());

        if (*timedOut && ! answer.mounted())
            answer = refused ("udisks2 did not answer in time");

        // Cancelled by the mounter going, nobody waits for the answer.
        if (*timedOut || ! g_cancellable_is_cancelled (cancel.get()))
        {
            juce::MessageManager::callAsync (
                [owner, answered, answer]
                {
                if (owner.lock() != nullptr)
                    answered (answer);
            });
        }

        *done = true;
    });
}
