#include "platform/keyboard/gnome/key_sink_gnome.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <thread>

#include <gio/gio.h>

#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/keyboard.h"
#include "platform/keyboard/xkb/key_symbols.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

constexpr char kBusName[] = "org.gnome.Mutter.RemoteDesktop";
constexpr char kObjectPath[] = "/org/gnome/Mutter/RemoteDesktop";
constexpr char kSessionInterface[] = "org.gnome.Mutter.RemoteDesktop.Session";
// How long mutter may take to answer a call the sink waits for.
constexpr int kAnswerMs = 2000;
// GNOME Shell shows "Screen is being shared" while a remote-desktop session
// exists, so a session lasts only while keys are typed: it ends this long after
// the last key's answer, which lets a second read close behind the first share it.
constexpr auto kLinger = 1s;
// mutter makes a session's keyboard when its first key arrives and drops the
// keys that come before the keyboard is there. It gives no sign of that moment:
// on mutter 43, idle, 2 ms after the answer to one Shift press and release was
// enough, on a machine busy compiling 20 ms was not always; this is the margin.
constexpr auto kKeyboardSettle = 100ms;
// Calls sent but not answered before the sink waits for answers: each holds a
// little memory in GDBus until its reply comes.
constexpr unsigned kMostUnanswered = 4096;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using ConnectionPtr = std::unique_ptr<GDBusConnection, ObjectUnref>;
struct ContextUnref {
    void operator()(GMainContext* context) const { g_main_context_unref(context); }
};
using ContextPtr = std::unique_ptr<GMainContext, ContextUnref>;
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
struct VariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

// Makes `context` the one GDBus hands replies and signals to while it lives.
class ContextScope {
  public:
    explicit ContextScope(GMainContext* context) : context_(context) {
        g_main_context_push_thread_default(context_);
    }
    ~ContextScope() { g_main_context_pop_thread_default(context_); }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

  private:
    GMainContext* context_;
};

// A connection of the sink's own to the session bus: mutter ends a client's
// sessions when its connection ends, and the front end's shared connection must
// not carry them.
// Where the session bus is: $DBUS_SESSION_BUS_ADDRESS, else the socket "bus" in
// the runtime folder, as systemd makes it. Never a bus started for the purpose
// (GIO's X11 autolaunch): a bus of our own would hold no mutter.
std::string SessionBusAddress() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return address;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string socket =
        runtime != nullptr && *runtime != '\0' ? std::string(runtime) + "/bus" : "";
    struct stat status {};
    if (!socket.empty() && ::stat(socket.c_str(), &status) == 0 && S_ISSOCK(status.st_mode)) {
        return "unix:path=" + socket;
    }
    return "";
}

ConnectionPtr ConnectToSessionBus(std::string& error) {
    std::string address = SessionBusAddress();
    if (address.empty()) {
        error = "there is no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
        return nullptr;
    }
    GError* raw = nullptr;
    ConnectionPtr connection(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &raw));
    if (!connection) {
        error = std::string("the session bus cannot be reached: ") + raw->message;
        g_error_free(raw);
        return nullptr;
    }
    g_dbus_connection_set_exit_on_close(connection.get(), FALSE);
    return connection;
}

VariantPtr CallAndWait(GDBusConnection* connection, const char* path, const char* interface,
                       const char* method, GVariant* parameters, const GVariantType* reply,
                       std::string& error) {
    GError* raw = nullptr;
    VariantPtr result(g_dbus_connection_call_sync(connection, kBusName, path, interface, method,
                                                  parameters, reply, G_DBUS_CALL_FLAGS_NONE,
                                                  kAnswerMs, nullptr, &raw));
    if (!result) {
        ErrorPtr owned(raw);
        g_dbus_error_strip_remote_error(raw);
        error = "mutter's remote-desktop interface (" + std::string(kBusName) + ") answers " +
                method + " with: " + raw->message;
    }
    return result;
}

// Whether mutter's interface answers on `connection`.
bool InterfaceAnswers(GDBusConnection* connection, std::string& reason) {
    return CallAndWait(connection, kObjectPath, "org.freedesktop.DBus.Properties", "Get",
                       g_variant_new("(ss)", kBusName, "Version"), G_VARIANT_TYPE("(v)"),
                       reason) != nullptr;
}

class GnomeKeySink final : public KeySink {
  public:
    GnomeKeySink(ContextPtr context, ConnectionPtr connection)
        : context_(std::move(context)), connection_(std::move(connection)) {}

    ~GnomeKeySink() override {
        ContextScope scope(context_.get());
        EndSession();
        for (guint subscription : {ownerSubscription_, sessionSubscription_}) {
            if (subscription != 0) {
                g_dbus_connection_signal_unsubscribe(connection_.get(), subscription);
            }
        }
        if (closedHandler_ != 0) {
            g_signal_handler_disconnect(connection_.get(), closedHandler_);
        }
        lost_ = true; // what closing fails is no refusal to report
        // Closing fails the calls still unanswered; their callbacks run here,
        // while this object exists, and nothing waits in the context afterwards.
        g_dbus_connection_close_sync(connection_.get(), nullptr, nullptr);
        auto deadline = std::chrono::steady_clock::now() + 1s;
        while (unanswered_ > 0 && std::chrono::steady_clock::now() < deadline) {
            g_main_context_iteration(context_.get(), FALSE);
        }
    }

    // Watches mutter and the connection, and makes the descriptor the loop
    // waits on; false with `error` set.
    bool Start(std::string& error) {
        ContextScope scope(context_.get());
        ownerSubscription_ = g_dbus_connection_signal_subscribe(
            connection_.get(), "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
            "/org/freedesktop/DBus", kBusName, G_DBUS_SIGNAL_FLAGS_NONE, OnOwnerChanged, this,
            nullptr);
        closedHandler_ =
            g_signal_connect(connection_.get(), "closed", G_CALLBACK(OnConnectionClosed), this);
        return InterfaceAnswers(connection_.get(), error) && MakeDescriptor(error);
    }

    bool Post(const KeyEvent& event) override {
        if (lost_) {
            return false;
        }
        bool typed = PostKeyDown(
            event, joiner_, [this](char32_t character) { return TypeCharacter(character); },
            [this](UINT virtualKey) {
                xkb_keysym_t keysym = KeysymForVirtualKey(virtualKey);
                if (keysym == XKB_KEY_NoSymbol) {
                    NKDbgPrintfW(u"gnome: virtual key 0x%02X names no key here; not pressed",
                                 virtualKey);
                    return false;
                }
                return Press(keysym);
            });
        return typed && !lost_;
    }

    std::string Name() const override { return "gnome"; }
    std::string Target() const override { return "GNOME (mutter's remote desktop)"; }
    bool Lost() const override { return lost_; }
    int EventDescriptor() const override { return lost_ ? -1 : events_.Get(); }
    void Service(short) override {
        std::uint64_t expirations = 0;
        (void)!::read(timer_.Get(), &expirations, sizeof expirations);
        Dispatch();
        if (!session_.empty() && unanswered_ == 0 &&
            std::chrono::steady_clock::now() >= lingerUntil_) {
            EndSession();
        }
    }

  private:
    bool TypeCharacter(char32_t character) {
        xkb_keysym_t keysym = KeysymForCharacter(character);
        if (keysym == XKB_KEY_NoSymbol) {
            NKDbgPrintfW(u"gnome: %s has no key on any keyboard; not typed",
                         CharacterClassName(character));
            return false;
        }
        return Press(keysym);
    }

    bool Press(xkb_keysym_t keysym) {
        if (session_.empty() && !OpenSession()) {
            return false;
        }
        for (bool down : {true, false}) {
            pacer_.BeforeEvent();
            SendKeysym(keysym, down);
        }
        KeepSessionFor(kLinger);
        return WaitWhileBehind();
    }

    // A new session, started, its keyboard made and given time to be there.
    bool OpenSession() {
        ContextScope scope(context_.get());
        std::string error;
        VariantPtr made = CallAndWait(connection_.get(), kObjectPath, kBusName, "CreateSession",
                                      nullptr, G_VARIANT_TYPE("(o)"), error);
        if (!made) {
            DebugLine("gnome: " + error);
            Lose();
            return false;
        }
        const gchar* path = nullptr;
        g_variant_get(made.get(), "(&o)", &path);
        session_ = path;
        sessionSubscription_ = g_dbus_connection_signal_subscribe(
            connection_.get(), kBusName, kSessionInterface, "Closed", session_.c_str(), nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, OnSessionClosed, this, nullptr);
        if (!CallAndWait(connection_.get(), session_.c_str(), kSessionInterface, "Start", nullptr,
                         nullptr, error)) {
            DebugLine("gnome: " + error);
            Lose();
            return false;
        }
        for (gboolean down : {1, 0}) {
            if (!CallAndWait(connection_.get(), session_.c_str(), kSessionInterface,
                             "NotifyKeyboardKeysym", g_variant_new("(ub)", XKB_KEY_Shift_L, down),
                             nullptr, error)) {
                DebugLine("gnome: " + error);
                Lose();
                return false;
            }
        }
        std::this_thread::sleep_for(kKeyboardSettle);
        return true;
    }

    void EndSession() {
        if (session_.empty()) {
            return;
        }
        if (sessionSubscription_ != 0) {
            g_dbus_connection_signal_unsubscribe(connection_.get(), sessionSubscription_);
            sessionSubscription_ = 0;
        }
        if (!lost_) {
            g_dbus_connection_call(connection_.get(), kBusName, session_.c_str(), kSessionInterface,
                                   "Stop", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, kAnswerMs,
                                   nullptr, nullptr, nullptr);
        }
        session_.clear();
    }

    void SendKeysym(xkb_keysym_t keysym, bool down) {
        ContextScope scope(context_.get());
        ++unanswered_;
        g_dbus_connection_call(connection_.get(), kBusName, session_.c_str(), kSessionInterface,
                               "NotifyKeyboardKeysym",
                               g_variant_new("(ub)", keysym, static_cast<gboolean>(down)), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, kAnswerMs, nullptr, OnAnswer, this);
    }

    // Reads the answers that came; false when too many stay unanswered for too long.
    bool WaitWhileBehind() {
        if (unanswered_ < kMostUnanswered) {
            return true;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
        while (!lost_ && unanswered_ >= kMostUnanswered / 2) {
            if (std::chrono::steady_clock::now() >= deadline) {
                NKDbgPrintfW(u"gnome: mutter answers no key for %d ms", kAnswerMs);
                Lose();
                break;
            }
            g_main_context_iteration(context_.get(), FALSE);
            std::this_thread::sleep_for(1ms);
        }
        return !lost_;
    }

    void Dispatch() {
        while (g_main_context_iteration(context_.get(), FALSE)) {
        }
    }

    void KeepSessionFor(std::chrono::steady_clock::duration time) {
        lingerUntil_ = std::chrono::steady_clock::now() + time;
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time).count();
        itimerspec once{{0, 0}, {ns / 1000000000, ns % 1000000000}};
        timerfd_settime(timer_.Get(), 0, &once, nullptr);
    }

    // One descriptor for the loop: the context's wake-up (GDBus's thread
    // signals it when an answer or a signal is queued) and the session's timer.
    bool MakeDescriptor(std::string& error) {
        events_.Reset(epoll_create1(EPOLL_CLOEXEC));
        timer_.Reset(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
        std::array<GPollFD, 8> polled{};
        gint priority = 0;
        gint timeout = 0;
        g_main_context_acquire(context_.get());
        g_main_context_prepare(context_.get(), &priority);
        gint count = g_main_context_query(context_.get(), priority, &timeout, polled.data(),
                                          static_cast<gint>(polled.size()));
        g_main_context_check(context_.get(), priority, polled.data(),
                             std::min<gint>(count, static_cast<gint>(polled.size())));
        g_main_context_release(context_.get());
        bool made = events_.Valid() && timer_.Valid() && count > 0;
        for (int fd : {timer_.Get(), polled[0].fd}) {
            epoll_event watched{};
            watched.events = EPOLLIN;
            watched.data.fd = fd;
            made = made && epoll_ctl(events_.Get(), EPOLL_CTL_ADD, fd, &watched) == 0;
        }
        if (!made) {
            error = std::string("the gnome sink cannot wait for mutter's answers: ") +
                    std::strerror(errno);
        }
        return made;
    }

    void Lose() {
        if (!lost_) {
            lost_ = true;
            session_.clear();
        }
    }

    static void OnAnswer(GObject* source, GAsyncResult* result, gpointer data) {
        auto* sink = static_cast<GnomeKeySink*>(data);
        --sink->unanswered_;
        GError* raw = nullptr;
        VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
        if (!reply && !sink->lost_) {
            ErrorPtr owned(raw);
            DebugLine(std::string("gnome: mutter refused a key: ") + raw->message);
            sink->Lose();
        } else if (!reply) {
            g_error_free(raw);
        }
    }

    static void OnOwnerChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar*, GVariant* parameters, gpointer data) {
        const gchar* newOwner = nullptr;
        g_variant_get(parameters, "(&s&s&s)", nullptr, nullptr, &newOwner);
        if (newOwner == nullptr || *newOwner == '\0') {
            static_cast<GnomeKeySink*>(data)->Lose();
        }
    }

    static void OnSessionClosed(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar*, GVariant*, gpointer data) {
        // mutter ended the session itself: the next key makes a new one, or finds
        // mutter gone.
        auto* sink = static_cast<GnomeKeySink*>(data);
        sink->EndSession();
    }

    static void OnConnectionClosed(GDBusConnection*, gboolean, GError*, gpointer data) {
        static_cast<GnomeKeySink*>(data)->Lose();
    }

    ContextPtr context_; // declared first, so that it outlives the connection
    ConnectionPtr connection_;
    UniqueFd events_;
    UniqueFd timer_;
    std::string session_; // its object path while one is open
    std::chrono::steady_clock::time_point lingerUntil_{};
    guint ownerSubscription_ = 0;
    guint sessionSubscription_ = 0;
    gulong closedHandler_ = 0;
    unsigned unanswered_ = 0;
    KeyPacer pacer_;
    SurrogateJoiner joiner_;
    bool lost_ = false;
};

bool ProbeGnome(const KeySinkSettings&, std::string& reason) {
    ContextPtr context(g_main_context_new());
    ContextScope scope(context.get());
    ConnectionPtr connection = ConnectToSessionBus(reason);
    bool answers = connection && InterfaceAnswers(connection.get(), reason);
    if (connection) {
        g_dbus_connection_close_sync(connection.get(), nullptr, nullptr);
    }
    return answers;
}

std::unique_ptr<KeySink> MakeGnome(const KeySinkSettings&, std::string& error) {
    return MakeGnomeKeySink(error);
}

} // namespace

std::unique_ptr<KeySink> MakeGnomeKeySink(std::string& error) {
    ContextPtr context(g_main_context_new());
    ConnectionPtr connection;
    {
        ContextScope scope(context.get());
        connection = ConnectToSessionBus(error);
    }
    if (!connection) {
        return nullptr;
    }
    auto sink = std::make_unique<GnomeKeySink>(std::move(context), std::move(connection));
    if (!sink->Start(error)) {
        return nullptr;
    }
    return sink;
}

const KeySinkFactory key_sink_factories::gnome{ProbeGnome, MakeGnome};

} // namespace platform
