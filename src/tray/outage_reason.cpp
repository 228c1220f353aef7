#include "tray/outage_reason.h"

#include <wx/intl.h>

#include <string>

#include "tray/translations.h"

namespace {

using Kind = OutageReason::Kind;

// Why a service the manager does not run stopped.
OutageReason FromEnd(const ServiceEnd& end) {
    switch (end.how) {
        case ServiceEnd::How::Clean:
            return {Kind::Stopped, {}};
        case ServiceEnd::How::ExitCode:
            return {Kind::Exited, std::to_string(end.exitCode)};
        case ServiceEnd::How::Signal:
            return {Kind::Killed, end.name};
        case ServiceEnd::How::Aborted:
            return {Kind::Aborted, {}};
        case ServiceEnd::How::OtherFailure:
            break;
    }
    return {Kind::Failed, end.name};
}

// The manager says the service's process runs.
bool Runs(Kind kind) {
    return kind == Kind::NotAnswering || kind == Kind::Starting || kind == Kind::Stopping;
}

}  // namespace

std::optional<OutageReason> DecideReason(const ServiceFacts& facts) {
    using Now = ServiceFacts::Now;
    switch (facts.now) {
        case Now::NotInstalled:
            return OutageReason{Kind::NotInstalled, {}};
        case Now::Masked:
            return OutageReason{Kind::Masked, {}};
        case Now::Disabled:
            return OutageReason{Kind::Disabled, {}};
        case Now::NotLoadable:
            return OutageReason{Kind::Failed, facts.notLoadableWord};
        case Now::Restarting:
            return OutageReason{Kind::Restarting, {}};
        case Now::Starting:
            return OutageReason{Kind::Starting, {}};
        case Now::Stopping:
            return OutageReason{Kind::Stopping, {}};
        case Now::Running:
            return OutageReason{Kind::NotAnswering, {}};
        case Now::Stopped:
            break;
    }
    return FromEnd(facts.lastEnd);
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
