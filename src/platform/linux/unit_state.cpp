#include "platform/linux/unit_state.h"

#include <cstring>
#include <string>
#include <utility>

#include "base/utf8_cut.h"

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

// At most longest bytes of text, cut where a character begins.
wxString Capped(const char* text, std::size_t longest) {
    return wxString::FromUTF8(text, Utf8CutLength(text, std::strlen(text), longest));
}

// An id of 16 bytes as systemd writes it; anything else is none.
wxString HexId(GVariant* bytes) {
    gsize size = 0;
    const auto* id = static_cast<const std::uint8_t*>(g_variant_get_fixed_array(bytes, &size, 1));
    if (size != 16) return {};
    wxString hex;
    for (gsize i = 0; i < size; ++i) hex += wxString::Format("%02x", id[i]);
    return hex;
}

// systemd's words are single words; a service says more of itself, though not without end.
constexpr std::size_t kLongestWord = 64, kLongestStatus = 1024;
const struct {
    const char* name;
    wxString UnitProperties::*text;
    std::size_t longest;
} kTexts[] = {{"LoadState", &UnitProperties::loadState, kLongestWord},
              {"ActiveState", &UnitProperties::activeState, kLongestWord},
              {"SubState", &UnitProperties::subState, kLongestWord},
              {"Result", &UnitProperties::result, kLongestWord},
              {"StatusText", &UnitProperties::statusText, kLongestStatus}};

void ReadProperty(const std::string& name, GVariant* value, UnitProperties& unit) {
    const auto is = [value](const GVariantType* type) { return g_variant_is_of_type(value, type); };
    for (const auto& text : kTexts)
        if (name == text.name && is(G_VARIANT_TYPE_STRING))
            unit.*text.text = Capped(g_variant_get_string(value, nullptr), text.longest);
    if (name == "InvocationID" && is(G_VARIANT_TYPE_BYTESTRING)) unit.invocationId = HexId(value);
    if (name == "ExecMainPID" && is(G_VARIANT_TYPE_UINT32))
        unit.execMainPid = g_variant_get_uint32(value);
    if (name == "ExecMainStartTimestamp" && is(G_VARIANT_TYPE_UINT64))
        unit.execMainStartTimestamp = g_variant_get_uint64(value);
    if (name == "ExecMainCode" && is(G_VARIANT_TYPE_INT32))
        unit.execMainCode = g_variant_get_int32(value);
    if (name == "ExecMainStatus" && is(G_VARIANT_TYPE_INT32))
        unit.execMainStatus = g_variant_get_int32(value);
    if (name == "NRestarts" && is(G_VARIANT_TYPE_UINT32))
        unit.nRestarts = g_variant_get_uint32(value);
}

}  // namespace

void ReadUnitProperties(GVariant* properties, UnitProperties& unit) {
    GVariantIter iter;
    g_variant_iter_init(&iter, properties);
    const gchar* name = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_loop(&iter, "{&sv}", &name, &value)) ReadProperty(name, value, unit);
}

ServiceFacts DecodeUnit(const UnitProperties& unit) {
    ServiceFacts facts{WhatNow(unit), LastEnd(unit)};
    if (facts.now == Now::NotLoadable) facts.notLoadableWord = unit.loadState;
    facts.statusText = unit.statusText;
    facts.runId = unit.invocationId;
    return facts;
}

std::optional<ServiceChange> MainProcessFollower::Follow(const UnitProperties& unit) {
    const std::optional<std::uint32_t> before = std::exchange(m_restarts, unit.nRestarts);
    if (unit.execMainPid == 0) return std::nullopt;  // never run
    ServiceChange change;
    change.restarts = unit.nRestarts;
    if (unit.execMainCode == 0 && unit.execMainPid != m_told) {  // a new process runs
        m_told = unit.execMainPid;
        m_endTold = false;
        change.kind = ServiceChange::Kind::Started;
        change.pid = unit.execMainPid;
        if (unit.execMainStartTimestamp != 0)
            change.startedAt = std::int64_t(unit.execMainStartTimestamp / 1000000);
        return change;
    }
    // An end of a process never seen running is history, not news.
    if (unit.execMainCode != 0 && unit.execMainPid == m_told && !m_endTold) {
        m_endTold = true;
        change.kind = ServiceChange::Kind::Ended;
        change.end = LastEnd(unit);
        return change;
    }
    // systemd counts a repair on its own word, between the old process's end and the new start;
    // a count heard first is history, as an end is.
    if (!before || !unit.nRestarts || *before == *unit.nRestarts) return std::nullopt;
    change.kind = ServiceChange::Kind::Counted;
    return change;
}
