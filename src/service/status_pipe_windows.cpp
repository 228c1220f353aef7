#include <wx/string.h>

#include "platform/unique_handle_windows.h"
#include "service/status_pipe.h"

namespace {

class NamedPipe : public StatusPipe {
public:
    explicit NamedPipe(HANDLE pipe) : m_pipe(pipe) {}

    // One ReadFile: the service writes its record whole, and the pipe hands it over whole. The
    // handle is overlapped only so that the read can be bounded: a wait of at most
    // kStatusReadBound, and on expiry a cancel that is waited for before the buffer is given
    // back to the caller.
    std::optional<std::size_t> Read(std::uint8_t* buffer, std::size_t size) override {
        const UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!done.valid()) return std::nullopt;
        OVERLAPPED read{};
        read.hEvent = done.get();
        if (!::ReadFile(m_pipe.get(), buffer, DWORD(size), nullptr, &read) &&
            ::GetLastError() != ERROR_IO_PENDING)
            return std::nullopt;  // the service closed its end before writing, or any error
        if (::WaitForSingleObject(done.get(), DWORD(kStatusReadBound.count())) != WAIT_OBJECT_0)
            ::CancelIoEx(m_pipe.get(), &read);
        DWORD got = 0;
        if (!::GetOverlappedResult(m_pipe.get(), &read, &got, TRUE)) return std::nullopt;
        // A pipe can complete a read with no bytes: that is a record, all of it zero.
        return std::size_t(got);
    }

private:
    UniqueHandle m_pipe;
};

}  // namespace

const char kDefaultStatusPipePath[] = R"(\\.\pipe\Quenthal)";

std::unique_ptr<StatusPipe> StatusPipe::Open() {
    // Tried once, without WaitNamedPipe: a missing service or busy instances fail at once. While
    // the service is down anyone may create its pipe: such a server may learn who connected,
    // but not act as the user.
    HANDLE pipe = ::CreateFileW(
        wxString::FromUTF8(StatusPipePath()).wc_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<NamedPipe>(pipe);
}
