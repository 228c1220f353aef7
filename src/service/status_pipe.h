#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include "platform/status_pipe.h"
#include "service/service_status.h"

// What one refresh that reached the service read.
struct StatusRead {
    ServiceStatus status;                        // as read, missing bytes zero
    std::optional<std::uint32_t> serverProcess;  // the pipe's server, where the transport tells
};

// One refresh: open, read at most 160 bytes, close, with a trace line for each step.
// Nothing when the refresh failed.
std::optional<StatusRead> ReadServiceStatus(std::wostream& trace);
