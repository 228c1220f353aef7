#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <wx/string.h>

// A service that has accepted us but written nothing by then makes a failed refresh, so that a
// hung service never freezes the tray.
constexpr std::chrono::milliseconds kStatusReadBound{1000};

// Where the service serves its record: $QUENTHAL_PIPE when set and not empty (tests serve their
// own there), otherwise the named pipe \\.\pipe\Quenthal on Windows and the Unix-domain socket
// /run/Quenthal elsewhere (a path only a system service can create, so no other user can pose
// as the service).
std::string StatusPipePath();

// This system's own path of the service, one per transport file.
extern const char kDefaultStatusPipePath[];

// One client connection to the service's status pipe (a named pipe on Windows, a Unix-domain
// socket elsewhere). Closed when destroyed, on every path.
class StatusPipe {
public:
    // Connects without waiting; null when no service answers, or every instance is busy. service
    // names the service whose process alone may serve the default path, where the transport can
    // tell who serves it.
    static std::unique_ptr<StatusPipe> Open(const wxString& service);

    virtual ~StatusPipe() = default;

    // Whether the process at the other end may speak for the service. Where only the service can
    // create the default path, and for a path the user chose, any server may.
    virtual bool ServedByService() const { return true; }

    // The process id of the pipe's server, where the transport tells it: a new one means the
    // service was started again since. None where it cannot be known.
    virtual std::optional<std::uint32_t> ServerProcess() const { return std::nullopt; }

    // The record, at most size bytes, within kStatusReadBound of the call. A socket reads until
    // size bytes or the service's close, since a stream may deliver the record in pieces; the
    // named pipe reads once, as its service writes the record whole. The number of bytes read,
    // or nothing when the read failed, the bound passed first, or the service closed without
    // writing.
    virtual std::optional<std::size_t> Read(std::uint8_t* buffer, std::size_t size) = 0;
};
