#include "service/status_pipe.h"

#include "service/brand.h"

namespace {

// One insertion per line: the trace is written on every refresh, every 2 s.
void Trace(std::wostream& trace, const wchar_t* line) { trace << line << std::endl; }

}  // namespace

std::optional<StatusRead> ReadServiceStatus(std::wostream& trace) {
    Trace(trace, L"Connecting to pipe...");
    std::unique_ptr<StatusPipe> pipe = StatusPipe::Open(GetServiceName());
    if (!pipe) {
        Trace(trace, L"Failed to connect to pipe.");
        return std::nullopt;
    }
    // A squatter's record would say "running" through an outage and send the user to its page.
    if (!pipe->ServedByService()) {
        Trace(trace, L"Pipe server is not the service.");
        return std::nullopt;
    }
    Trace(trace, L"Reading data from pipe...");
    StatusRead read{{}, pipe->ServerProcess()};
    const bool done = pipe->Read(read.status.bytes.data(), read.status.bytes.size()).has_value();
    pipe.reset();  // closed before "Done."
    if (!done) return std::nullopt;
    Trace(trace, L"Done.");
    return read;
}
