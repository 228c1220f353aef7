#pragma once

// What the system's service manager knows about the service, read as any user may: no right
// asked for, no prompt. One implementation file per OS.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <wx/string.h>

#include "base/lifetime.h"
#include "platform/service_log.h"

// How the service's last run ended, in words every system's manager can be read into.
struct ServiceEnd {
    enum class How {
        Clean,         // stopped as asked, ended with success, or never run
        ExitCode,      // its process exited with a code other than success
        Signal,        // its process was killed by a signal
        Aborted,       // its process ended unexpectedly, and the manager says no more
        OtherFailure,  // the manager ended it or gave up on it, for a reason in its own word
    };
    ServiceEnd(How how = How::Clean, std::int64_t exitCode = 0, wxString name = {})
        : how(how), exitCode(exitCode), name(std::move(name)) {}

    How how;
    std::int64_t exitCode;  // ExitCode's
    // Signal's name, as in SIGSEGV; OtherFailure's word, as in timeout or watchdog.
    wxString name;

    bool operator==(const ServiceEnd& other) const {
        return how == other.how && exitCode == other.exitCode && name == other.name;
    }
};

// What the system's service manager says of the service, the same on every system; each
// system's reader decodes its manager's own words into it.
struct ServiceFacts {
    // What the manager is doing with the service now.
    enum class Now {
        NotInstalled,
        Masked,       // the manager refuses to start it whatever it is asked
        Disabled,     // stopped, and the manager will not start it until it is enabled
        NotLoadable,  // the manager cannot read its definition; notLoadableWord says why
        Stopped,
        Starting,
        Stopping,
        Restarting,  // the manager restarts it on its own after its last run ended
        Running,
    };
    ServiceFacts(Now now = Now::Stopped, ServiceEnd lastEnd = {}, wxString notLoadableWord = {})
        : now(now), lastEnd(std::move(lastEnd)), notLoadableWord(std::move(notLoadableWord)) {}

    Now now;
    ServiceEnd lastEnd;        // what the manager remembers, whatever it is doing now
    wxString notLoadableWord;  // the manager's own word, as in bad-setting
    // What the service last told the manager of itself (systemd's StatusText); may be empty.
    wxString statusText;
    // The manager's id of the service's last run (systemd's InvocationID as 32 lowercase hex
    // digits; it is an `ay` of 16 bytes on the bus); empty where the manager has none.
    wxString runId;

    bool operator==(const ServiceFacts& other) const {
        return now == other.now && notLoadableWord == other.notLoadableWord &&
               lastEnd == other.lastEnd && statusText == other.statusText && runId == other.runId;
    }
};

// What the manager tells of the service's main process unasked, as it happens.
struct ServiceChange {
    enum class Kind {
        Ended,    // the main process ended; end says how, as the manager said at the time
        Started,  // a main process runs, other than the one told of before
        Counted,  // only the manager's count of its own restarts changed
    };
    Kind kind = Kind::Started;
    ServiceEnd end;         // Ended's
    std::uint32_t pid = 0;  // Started's process id
    // Started's: when the process started, in seconds since 1970 UTC, where the manager says.
    std::optional<std::int64_t> startedAt;
    // With every kind, where the manager keeps one (systemd's NRestarts): how many times it has
    // restarted the service on its own since the service was last started by hand.
    std::optional<std::uint32_t> restarts;
};

class ServiceStateReader {
public:
    // None when the manager could not be asked (no system bus, no systemd, no right to look).
    using Got = std::function<void(const std::optional<ServiceFacts>&)>;
    using Changed = std::function<void(const ServiceChange&)>;

    // Drops what is under way: got is never called afterwards.
    virtual ~ServiceStateReader() = default;

    // Asks about the service called name and returns at once; got runs once, on the GUI thread.
    virtual void Ask(const wxString& name, Got got) = 0;

    // Follows what the manager tells unasked of the service called name, from now until the
    // reader is gone, and returns at once; changed runs on the GUI thread, first with the process
    // that runs when the watch begins (if any). Nothing where the manager tells nothing unasked.
    virtual void Watch(const wxString& name, Changed changed) {
        static_cast<void>(name);
        static_cast<void>(changed);
    }

    // Reads what the service itself last logged of run and returns at once; heard runs once, on
    // the GUI thread, unless the reader is gone by then.
    virtual void AskLastWords(ServiceRun run, std::function<void(const LastWords&)> heard) {
        ::AskLastWords(std::move(run), m_lifetime.watch(), std::move(heard));
    }

protected:
    // Of every answer the reader hands back later: none once the reader is gone.
    Lifetime m_lifetime;
};

// This system's service manager.
std::unique_ptr<ServiceStateReader> MakeServiceStateReader();
