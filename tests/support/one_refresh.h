#pragma once

#include <optional>
#include <sstream>
#include <string>

#include "service/status_pipe.h"

// The trace lines of one refresh, as the pipe client writes them, for each way it ends.
inline const std::wstring kFailedToConnect = L"Connecting to pipe...\nFailed to connect to pipe.\n";
inline const std::wstring kReadFailed = L"Connecting to pipe...\nReading data from pipe...\n";
inline const std::wstring kDone = L"Connecting to pipe...\nReading data from pipe...\nDone.\n";

struct Refresh {
    std::optional<ServiceStatus> status;
    std::wstring trace;
};

// One read of the service's status, with the trace it wrote.
inline Refresh RefreshOnce() {
    std::wostringstream trace;
    std::optional<ServiceStatus> status = ReadServiceStatus(trace);
    return {status, trace.str()};
}
