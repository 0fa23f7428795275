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

#include "platform/core/errors.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/keyboard/gnome/mutter_seat.h"
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
// A seat without a keyboard gets one when a session's first key arrives; the
// applications bind it when mutter tells them, and keys that come before reach
// nobody. The sink sees the keyboard come on a Wayland connection of its own;
// the applications were told at the same moment and need this much longer to
// ask for it.
constexpr auto kClientsBind = 30ms;
// Without a Wayland connection to watch (mutter on X11) nothing shows the
// moment: on mutter 43, idle, 2 ms after the answer to one Shift press and
// release was enough, on a machine busy compiling 20 ms was not always.
constexpr auto kKeyboardSettle = 100ms;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using ConnectionPtr = std::unique_ptr<GDBusConnection, ObjectUnref>;
using MessagePtr = std::unique_ptr<GDBusMessage, ObjectUnref>;
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
    GnomeKeySink(ContextPtr context, ConnectionPtr connection, std::unique_ptr<MutterSeat> seat)
        : context_(std::move(context)), connection_(std::move(connection)), seat_(std::move(seat)) {
    }

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
        lost_ = true;
        // Sends what is queued (the session's Stop) before the connection ends.
        g_dbus_connection_close_sync(connection_.get(), nullptr, nullptr);
        Dispatch();
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
    std::string Target() const override {
        std::string layout = LayoutName();
        return "GNOME (mutter's remote desktop)" +
               (layout.empty() ? std::string() : ", typing for layout \"" + layout + "\"");
    }
    bool Lost() const override { return lost_; }
    int EventDescriptor() const override { return lost_ ? -1 : events_.Get(); }
    void Service(short) override {
        std::uint64_t expirations = 0;
        (void)!::read(timer_.Get(), &expirations, sizeof expirations);
        Dispatch();
        if (seat_ && !seat_->Dispatch()) {
            NKDbgPrintfW(u"gnome: the Wayland connection to mutter has ended");
            Lose();
        }
        if (!session_.empty() && std::chrono::steady_clock::now() >= lingerUntil_) {
            EndSession();
        }
    }

    bool CanType(char32_t character, std::string& why) override {
        xkb_keysym_t keysym = KeysymForCharacter(character);
        std::u16string_view kind = CharacterClassName(character); // ASCII words
        if (keysym == XKB_KEY_NoSymbol) {
            why = std::string(kind.begin(), kind.end()) + ": no keyboard has a key for it";
            return false;
        }
        xkb_keymap* keymap = CurrentKeymap();
        if (keymap == nullptr) {
            return true; // nothing tells; mutter drops what it cannot type, with a log line
        }
        if (MutterTypes(keymap, 0, keysym)) {
            return true;
        }
        why = std::string(kind.begin(), kind.end()) + ": mutter's layout \"" + LayoutName() +
              "\" has no key for it";
        return false;
    }

  private:
    // The keymap mutter types with; a seat that has had no keyboard gets one
    // from a session's first key. nullptr when there is no Wayland connection
    // or the keyboard did not come.
    xkb_keymap* CurrentKeymap() {
        if (!seat_ || lost_ || !seat_->Dispatch()) {
            return nullptr;
        }
        if (seat_->Keymap() == nullptr && (!session_.empty() || OpenSession())) {
            seat_->WaitForKeymap(std::chrono::milliseconds(kAnswerMs));
            KeepSessionFor(kLinger);
        }
        return seat_->Keymap();
    }

    std::string LayoutName() const {
        xkb_keymap* keymap = seat_ ? seat_->Keymap() : nullptr;
        const char* name = keymap != nullptr ? xkb_keymap_layout_get_name(keymap, 0) : nullptr;
        return name != nullptr ? name : "";
    }

    bool TypeCharacter(char32_t character) {
        xkb_keysym_t keysym = KeysymForCharacter(character);
        if (keysym == XKB_KEY_NoSymbol) {
            NKDbgPrintfW(u"gnome: %s has no key on any keyboard; not typed",
                         CharacterClassName(character));
            return false;
        }
        // mutter would drop it, or press the key without the modifier it needs.
        xkb_keymap* keymap = CurrentKeymap();
        if (keymap != nullptr && !MutterTypes(keymap, 0, keysym)) {
            NKDbgPrintfW(u"gnome: mutter's layout \"%S\" has no key for %s; not typed",
                         LayoutName().c_str(), CharacterClassName(character));
            return false;
        }
        return Press(keysym);
    }

    bool Press(xkb_keysym_t keysym) {
        if (session_.empty() && !OpenSession()) {
            return false;
        }
        bool sent = true;
        for (bool down : {true, false}) {
            pacer_.BeforeEvent();
            sent = SendKeysym(keysym, down) && sent;
        }
        KeepSessionFor(kLinger);
        return sent;
    }

    // A new session, started, with a keyboard in the seat that the
    // applications had time to bind.
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
        return MakeKeyboard();
    }

    // Makes sure the seat has a keyboard that the applications have bound.
    bool MakeKeyboard() {
        if (seat_ && seat_->Dispatch() && seat_->HasKeyboard()) {
            return true;
        }
        std::string error;
        for (gboolean down : {1, 0}) {
            if (!CallAndWait(connection_.get(), session_.c_str(), kSessionInterface,
                             "NotifyKeyboardKeysym", g_variant_new("(ub)", XKB_KEY_Shift_L, down),
                             nullptr, error)) {
                DebugLine("gnome: " + error);
                Lose();
                return false;
            }
        }
        if (seat_ && seat_->WaitForKeymap(std::chrono::milliseconds(kAnswerMs))) {
            std::this_thread::sleep_for(kClientsBind);
        } else {
            std::this_thread::sleep_for(kKeyboardSettle);
        }
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

    // One key, sent without asking for an answer: waiting for each would
    // cost a round trip through mutter per key. GDBus sends in order, and
    // mutter handles the calls of one connection in order. A session mutter
    // ended shows as its Closed signal, mutter's end as the bus name's owner
    // change or the connection's end.
    bool SendKeysym(xkb_keysym_t keysym, bool down) {
        MessagePtr message(g_dbus_message_new_method_call(
            kBusName, session_.c_str(), kSessionInterface, "NotifyKeyboardKeysym"));
        g_dbus_message_set_body(message.get(),
                                g_variant_new("(ub)", keysym, static_cast<gboolean>(down)));
        g_dbus_message_set_flags(message.get(), G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED);
        GError* raw = nullptr;
        if (!g_dbus_connection_send_message(connection_.get(), message.get(),
                                            G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, &raw)) {
            ErrorPtr owned(raw);
            DebugLine(std::string("gnome: a key cannot be sent to mutter: ") + raw->message);
            Lose();
            return false;
        }
        return true;
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
        for (int fd : {timer_.Get(), polled[0].fd, seat_ ? seat_->Descriptor() : -1}) {
            if (fd < 0) {
                continue;
            }
            epoll_event watched{};
            watched.events = EPOLLIN;
            watched.data.fd = fd;
            made = made && epoll_ctl(events_.Get(), EPOLL_CTL_ADD, fd, &watched) == 0;
        }
        if (!made) {
            error = SystemError("the gnome sink cannot wait for mutter's answers");
        }
        return made;
    }

    void Lose() {
        if (!lost_) {
            lost_ = true;
            session_.clear();
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
    std::unique_ptr<MutterSeat> seat_; // nullptr without a Wayland connection
    UniqueFd events_;
    UniqueFd timer_;
    std::string session_; // its object path while one is open
    std::chrono::steady_clock::time_point lingerUntil_{};
    guint ownerSubscription_ = 0;
    guint sessionSubscription_ = 0;
    gulong closedHandler_ = 0;
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
    {
        ContextScope scope(context.get());
        if (!InterfaceAnswers(connection.get(), error)) {
            return nullptr;
        }
    }
    // The seat is watched only where mutter is the Wayland compositor; under X11
    // (or with no compositor reachable) nothing tells the keymap beforehand.
    std::unique_ptr<MutterSeat> seat;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != '\0') {
        std::string why;
        seat = MutterSeat::Connect(why);
        if (!seat) {
            DebugLine("gnome: " + why + "; characters are not checked before they are typed");
        }
    }
    auto sink =
        std::make_unique<GnomeKeySink>(std::move(context), std::move(connection), std::move(seat));
    if (!sink->Start(error)) {
        return nullptr;
    }
    return sink;
}

const KeySinkFactory key_sink_factories::gnome{ProbeGnome, MakeGnome};

} // namespace platform
