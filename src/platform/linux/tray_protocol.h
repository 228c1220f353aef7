#pragma once

// What decides where the Linux tray icon shows and how soon its item is registered again, kept
// apart from the bus and the toolkit.

#include <chrono>
#include <optional>
#include <string>
#include <utility>

// Where the icon can show.
enum class TrayProtocol {
    Item,    // a StatusNotifierItem, registered with the watcher
    Xembed,  // the toolkit's icon, which docks in an XEmbed tray whenever one runs
    None,    // nowhere: a Wayland session without a watcher
};

// What the session offers a tray icon.
struct TraySession {
    bool x11 = false;           // an X11 display, where XEmbed trays can run
    std::string watcher;        // the watcher's unique name on the bus; empty when none runs
    bool hostReported = false;  // the watcher says a host shows its items
};

// The item while a watcher may show it: on Wayland any watcher, on X11 only one that reports a
// host, since a watcher alone draws nothing and an XEmbed tray does. Otherwise the toolkit's icon
// on X11, and nothing on Wayland.
TrayProtocol ChooseProtocol(const TraySession& session);

// Whether a tray shows the icon: a host of the item, or an XEmbed tray when the icon is the
// toolkit's.
bool TrayShowsIcon(const TraySession& session, bool xembedTrayRuns);

// When the user is told that no tray shows the icon: once a run, at the check 10 s after the first
// display (the time a tray of the same login takes to start), if none shows it then. Later
// displays, and trays that come and go after the check, change nothing.
class NoTrayNotice {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kTrayStart{10000};

    // A display at now: for the first, the time the check is due; for every later one, none.
    std::optional<Clock::time_point> Displayed(Clock::time_point now);
    // The check, once due: whether to tell the user, which is so at the first check alone.
    bool Check(bool trayShowsIcon) { return !std::exchange(m_checked, true) && !trayShowsIcon; }

private:
    bool m_displayed = false;
    bool m_checked = false;
};

// The pauses before the item is registered again after the watcher dropped or refused it: doubled
// each time, so that a watcher that keeps refusing is not pressed, and short again after a
// registration that held for the longest one.
class RegistrationBackoff {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFirstPause{1000}, kLongestPause{30000};

    void Registered(Clock::time_point at) { m_registeredAt = at; }
    // The pause after a drop or refusal at now; the one after it is longer.
    std::chrono::milliseconds NextPause(Clock::time_point now);
    // A new watcher starts from the shortest pause.
    void Restart() { *this = RegistrationBackoff(); }

private:
    std::chrono::milliseconds m_pause = kFirstPause;
    std::optional<Clock::time_point> m_registeredAt;  // of the registration that held until now
};
