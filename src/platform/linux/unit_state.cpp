#include "platform/linux/unit_state.h"

#include <utility>

namespace {

using Now = ServiceFacts::Now;
using How = ServiceEnd::How;

// Linux's signals by their numbers, which systemd reports; named as a user would look them up.
wxString SignalName(std::int32_t number) {
    static const char* const names[] = {
        "HUP",  "INT",  "QUIT", "ILL",    "TRAP",   "ABRT",  "BUS",  "FPE",  "KILL", "USR1", "SEGV",
        "USR2", "PIPE", "ALRM", "TERM",   "STKFLT", "CHLD",  "CONT", "STOP", "TSTP", "TTIN", "TTOU",
        "URG",  "XCPU", "XFSZ", "VTALRM", "PROF",   "WINCH", "IO",   "PWR",  "SYS"};
    if (number >= 1 && number <= int(sizeof names / sizeof names[0]))
        return wxString("SIG") + names[number - 1];
    return wxString::Format("%d", int(number));
}

// By the result first: a clean stop ends with SIGTERM, and systemd calls that success.
ServiceEnd LastEnd(const UnitProperties& unit) {
    const wxString& result = unit.result;
    if (result == "success" || result.empty()) return {};
    if (result == "exit-code") return {How::ExitCode, unit.execMainStatus, {}};
    if (result == "signal" || result == "core-dump")
        return {How::Signal, 0, SignalName(unit.execMainStatus)};
    return {How::OtherFailure, 0, result};
}

Now WhatNow(const UnitProperties& unit) {
    if (unit.loadState == "not-found") return Now::NotInstalled;
    if (unit.loadState == "masked") return Now::Masked;
    if (unit.loadState != "loaded") return Now::NotLoadable;
    // Between a run that ended and the next, which systemd starts on its own.
    if (unit.subState.StartsWith("auto-restart")) return Now::Restarting;
    const wxString& active = unit.activeState;
    if (active == "active" || active == "reloading" || active == "refreshing") return Now::Running;
    if (active == "activating") return Now::Starting;
    if (active == "deactivating") return Now::Stopping;
    return Now::Stopped;  // inactive or failed: LastEnd tells which
}

}  // namespace

ServiceFacts DecodeUnit(const UnitProperties& unit) {
    ServiceFacts facts{WhatNow(unit), LastEnd(unit)};
    if (facts.now == Now::NotLoadable) facts.notLoadableWord = unit.loadState;
    return facts;
}

std::optional<ServiceChange> MainProcessFollower::Follow(const MainProcess& process) {
    const std::optional<std::uint32_t> before = std::exchange(m_restarts, process.restarts);
    if (process.pid == 0) return std::nullopt;  // never run
    ServiceChange change;
    change.restarts = process.restarts;
    if (process.execMainCode == 0 && process.pid != m_told) {  // a new process runs
        m_told = process.pid;
        m_endTold = false;
        change.kind = ServiceChange::Kind::Started;
        change.pid = process.pid;
        if (process.startedUs != 0) change.startedAt = std::int64_t(process.startedUs / 1000000);
        return change;
    }
    // An end of a process never seen running is history, not news.
    if (process.execMainCode != 0 && process.pid == m_told && !m_endTold) {
        m_endTold = true;
        change.kind = ServiceChange::Kind::Ended;
        change.end =
            LastEnd({{}, {}, {}, process.result, process.execMainCode, process.execMainStatus});
        return change;
    }
    // systemd counts a repair on its own word, between the old process's end and the new start;
    // a count heard first is history, as an end is.
    if (!before || !process.restarts || *before == *process.restarts) return std::nullopt;
    change.kind = ServiceChange::Kind::Counted;
    return change;
}
