#include "tray/outage_reason.h"

#include <wx/intl.h>

#include "tray/translations.h"

namespace {

using Kind = OutageReason::Kind;

// The signals by their numbers on Linux, which systemd reports.
wxString SignalName(std::int32_t number) {
    static const char* const names[] = {
        "HUP",  "INT",  "QUIT", "ILL",    "TRAP",   "ABRT",  "BUS",  "FPE",  "KILL", "USR1", "SEGV",
        "USR2", "PIPE", "ALRM", "TERM",   "STKFLT", "CHLD",  "CONT", "STOP", "TSTP", "TTIN", "TTOU",
        "URG",  "XCPU", "XFSZ", "VTALRM", "PROF",   "WINCH", "IO",   "PWR",  "SYS"};
    if (number >= 1 && number <= int(sizeof names / sizeof names[0]))
        return wxString("SIG") + names[number - 1];
    return wxString::Format("%d", int(number));
}

std::optional<OutageReason> FromUnit(const UnitFacts& unit) {
    if (unit.loadState == "not-found") return OutageReason{Kind::NotInstalled, {}};
    if (unit.loadState == "masked") return OutageReason{Kind::Masked, {}};
    // A unit file systemd could not read: its word for that.
    if (unit.loadState != "loaded") return OutageReason{Kind::Failed, unit.loadState};
    if (unit.subState.StartsWith("auto-restart")) return OutageReason{Kind::Restarting, {}};
    const wxString& active = unit.activeState;
    if (active == "active" || active == "reloading" || active == "refreshing")
        return OutageReason{Kind::NotAnswering, {}};
    if (active == "activating") return OutageReason{Kind::Starting, {}};
    if (active == "deactivating") return OutageReason{Kind::Stopping, {}};
    // How its last run ended, by the result first: a clean stop ends with SIGTERM, and
    // systemd calls that success.
    const wxString& result = unit.result;
    if (result == "success" || result.empty()) return OutageReason{Kind::Stopped, {}};
    if (result == "exit-code")
        return OutageReason{Kind::Exited, wxString::Format("%d", int(unit.execMainStatus))};
    if (result == "signal" || result == "core-dump")
        return OutageReason{Kind::Killed, SignalName(unit.execMainStatus)};
    return OutageReason{Kind::Failed, result};
}

std::optional<OutageReason> FromScm(const ScmFacts& service) {
    if (service.openError == scm::kServiceDoesNotExist) return OutageReason{Kind::NotInstalled, {}};
    if (service.openError != 0) return std::nullopt;
    switch (service.state) {
        case scm::kRunning:
        case scm::kPausePending:
        case scm::kPaused:
            return OutageReason{Kind::NotAnswering, {}};
        case scm::kStartPending:
        case scm::kContinuePending:
            return OutageReason{Kind::Starting, {}};
        case scm::kStopPending:
            return OutageReason{Kind::Stopping, {}};
        case scm::kStopped:
            break;
        default:
            return std::nullopt;
    }
    // Only a stopped service is kept from starting: one disabled while it ran still runs.
    if (service.disabled) return OutageReason{Kind::Disabled, {}};
    switch (service.win32ExitCode) {
        case 0:
        case scm::kServiceNeverStarted:
            return OutageReason{Kind::Stopped, {}};
        case scm::kProcessAborted:
            return OutageReason{Kind::Aborted, {}};
        case scm::kServiceSpecificError:
            return OutageReason{Kind::Exited,
                                wxString::Format("%u", unsigned(service.serviceExitCode))};
        default:
            return OutageReason{Kind::Exited,
                                wxString::Format("%u", unsigned(service.win32ExitCode))};
    }
}

// The manager says the service's process runs.
bool Runs(Kind kind) {
    return kind == Kind::NotAnswering || kind == Kind::Starting || kind == Kind::Stopping;
}

}  // namespace

std::optional<OutageReason> DecideReason(const ServiceFacts& facts) {
    if (const auto* unit = std::get_if<UnitFacts>(&facts)) return FromUnit(*unit);
    return FromScm(std::get<ScmFacts>(facts));
}

wxString ReasonText(const OutageReason& reason) {
    switch (reason.kind) {
        case Kind::NotInstalled:
            // TRANSLATORS: This and the next reasons why the service does not answer are the
            // second paragraph of the notification when it stops, the second line of the tray
            // icon's tooltip and an entry of the menu.
            return _("The service is not installed.");
        case Kind::Masked:
            return _("The service is masked, so it cannot be started.");
        case Kind::Disabled:
            return _("The service is disabled, so it cannot be started.");
        case Kind::Stopped:
            return _("The service is stopped.");
        case Kind::Exited:
            // TRANSLATORS: %s is the service's exit code, a number.
            return wxString::Format(TranslatedFormat("The service exited with code %s."),
                                    reason.detail);
        case Kind::Killed:
            // TRANSLATORS: %s is the signal's name, such as SIGSEGV.
            return wxString::Format(TranslatedFormat("The service was killed by the signal %s."),
                                    reason.detail);
        case Kind::Aborted:
            return _("The service ended unexpectedly.");
        case Kind::Failed:
            // TRANSLATORS: %s is the service manager's own word for how the service failed:
            // timeout, watchdog, start-limit-hit, oom-kill, ...
            return wxString::Format(TranslatedFormat("The service failed with the result \"%s\"."),
                                    reason.detail);
        case Kind::Restarting:
            return _("The service manager is restarting the service.");
        case Kind::Starting:
            return _("The service is starting.");
        case Kind::Stopping:
            return _("The service is stopping.");
        case Kind::NotAnswering:
            return _("The service is running but does not answer.");
    }
    return {};
}

std::optional<ServiceCommand> Remedy(const OutageReason& reason) {
    switch (reason.kind) {
        case Kind::Stopped:
        case Kind::Exited:
        case Kind::Killed:
        case Kind::Aborted:
        case Kind::Failed:
            return ServiceCommand::Start;
        case Kind::NotAnswering:
            return ServiceCommand::Restart;
        default:
            // Not there, not allowed to start, or the manager is at it already.
            return std::nullopt;
    }
}

OfferedCommands OfferCommands(bool commandPending, bool statusValid,
                              const std::optional<OutageReason>& reason) {
    // While a command of ours runs, all three wait for it.
    if (commandPending) return {false, false, false};
    if (statusValid) return {false, true, true};
    // A service that does not answer may still run (hung, or its pipe taken by another): unless
    // the manager says which, Start and Stop are both offered.
    if (!reason) return {true, true, true};
    const bool runs = Runs(reason->kind);
    return {!runs, runs, true};
}
