#include "platform/windows/scm_state.h"

namespace {

using Now = ServiceFacts::Now;
using How = ServiceEnd::How;

ServiceEnd LastEnd(const ScmAnswer& answer) {
    switch (answer.win32ExitCode) {
        case NO_ERROR:
        case ERROR_SERVICE_NEVER_STARTED:
            return {};
        case ERROR_PROCESS_ABORTED:
            return {How::Aborted, 0, {}};
        case ERROR_SERVICE_SPECIFIC_ERROR:
            return {How::ExitCode, answer.serviceExitCode, {}};
        default:
            return {How::ExitCode, answer.win32ExitCode, {}};
    }
}

std::optional<Now> WhatNow(const ScmAnswer& answer) {
    switch (answer.state) {
        // A paused service's process runs.
        case SERVICE_RUNNING:
        case SERVICE_PAUSE_PENDING:
        case SERVICE_PAUSED:
            return Now::Running;
        case SERVICE_START_PENDING:
        case SERVICE_CONTINUE_PENDING:
            return Now::Starting;
        case SERVICE_STOP_PENDING:
            return Now::Stopping;
        case SERVICE_STOPPED:
            // Only a stopped service is kept from starting: one disabled while it ran still runs.
            return answer.disabled ? Now::Disabled : Now::Stopped;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<ServiceFacts> DecodeScm(const ScmAnswer& answer) {
    if (answer.openError == ERROR_SERVICE_DOES_NOT_EXIST) return ServiceFacts{Now::NotInstalled};
    if (answer.openError != NO_ERROR) return std::nullopt;
    const std::optional<Now> now = WhatNow(answer);
    if (!now) return std::nullopt;
    return ServiceFacts{*now, LastEnd(answer)};
}
