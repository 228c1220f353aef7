#include "service/status_pipe.h"

namespace {

void Trace(std::wostream& trace, const char* line) {
    for (const char* c = line; *c; ++c) trace << static_cast<wchar_t>(*c);
    trace << std::endl;
}

}  // namespace

std::optional<ServiceStatus> ReadServiceStatus(std::wostream& trace) {
    Trace(trace, "Connecting to pipe...");
    std::unique_ptr<StatusPipe> pipe = StatusPipe::Open();
    if (!pipe) {
        Trace(trace, "Failed to connect to pipe.");
        return std::nullopt;
    }
    Trace(trace, "Reading data from pipe...");
    ServiceStatus status;
    const bool read = pipe->ReadOnce(status.bytes.data(), status.bytes.size()).has_value();
    pipe.reset();  // closed before "Done."
    if (!read) return std::nullopt;
    Trace(trace, "Done.");
    return status;
}
