#include <wx/string.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "base/unique_owner.h"
#include "platform/windows/unique_handle.h"
// aclapi.h needs windows.h, as the toolkit includes it, first.
#include <aclapi.h>
#include <wincrypt.h>

#include "platform/chosen_pipe.h"
#include "platform/status_pipe.h"
#include "platform/windows/pipe_trust.h"
#include "platform/windows/service_manager.h"

namespace {

class NamedPipe : public StatusPipe {
public:
    NamedPipe(UniqueHandle pipe, bool servedByService, std::optional<std::uint32_t> server)
        : m_pipe(std::move(pipe)), m_servedByService(servedByService), m_server(server) {}

    bool ServedByService() const override { return m_servedByService; }
    std::optional<std::uint32_t> ServerProcess() const override { return m_server; }

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
    bool m_servedByService;
    std::optional<std::uint32_t> m_server;
};

// The process the service control manager runs the service in: 0 when it reports none (the
// service is stopped, or not installed), nullopt when it cannot be asked. Querying the status is
// a right every user has.
std::optional<DWORD> ServiceProcess(const wxString& name) {
    const UniqueServiceHandle manager = OpenServiceManager();
    if (!manager.valid()) return std::nullopt;
    const UniqueServiceHandle service(
        ::OpenServiceW(manager.get(), name.wc_str(), SERVICE_QUERY_STATUS));
    if (!service.valid())
        return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? std::optional<DWORD>(0)
                                                                : std::nullopt;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return std::nullopt;
    return status.dwProcessId;
}

bool ServedByTheService(HANDLE pipe, DWORD server, const wxString& name) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;  // the memory that owner points into
    if (::GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        owner = nullptr;
    // The SID is made once for the name every refresh asks with, and afresh for any other.
    static const wxString first = name;
    static const std::vector<BYTE> firstSid = ServiceSid(first);
    std::vector<BYTE> serviceSid = name == first ? firstSid : ServiceSid(name);
    const bool served = ServedByService(server, ServiceProcess(name), owner,
                                        serviceSid.empty() ? nullptr : serviceSid.data());
    ::LocalFree(descriptor);
    return served;
}

struct ReleaseProvider {
    void operator()(HCRYPTPROV provider) const { ::CryptReleaseContext(provider, 0); }
};
struct DestroyHash {
    void operator()(HCRYPTHASH hash) const { ::CryptDestroyHash(hash); }
};

// The SHA-1 of size bytes through the system's base provider; empty when it cannot.
std::vector<BYTE> Sha1(const BYTE* bytes, DWORD size) {
    HCRYPTPROV acquired = 0;
    if (!::CryptAcquireContextW(&acquired, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return {};
    const UniqueOwner<HCRYPTPROV, ReleaseProvider> provider(acquired);
    HCRYPTHASH created = 0;
    if (!::CryptCreateHash(provider.get(), CALG_SHA1, 0, 0, &created)) return {};
    const UniqueOwner<HCRYPTHASH, DestroyHash> hash(created);  // goes before its provider
    std::vector<BYTE> digest(20);
    DWORD length = DWORD(digest.size());
    if (!::CryptHashData(hash.get(), bytes, size, 0) ||
        !::CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &length, 0))
        return {};
    return digest;
}

}  // namespace

// Made as Windows makes it, which needs neither the service installed nor an account lookup:
// S-1-5-80, then the SHA-1 of the name in capitals (UTF-16LE) as five little-endian numbers.
std::vector<BYTE> ServiceSid(const wxString& name) {
    std::wstring capitals(name.wc_str());
    ::CharUpperBuffW(capitals.data(), DWORD(capitals.size()));
    const std::vector<BYTE> digest = Sha1(reinterpret_cast<const BYTE*>(capitals.data()),
                                          DWORD(capitals.size() * sizeof(wchar_t)));
    if (digest.empty()) return {};
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    std::vector<BYTE> sid(::GetSidLengthRequired(6));
    ::InitializeSid(sid.data(), &nt, 6);
    *::GetSidSubAuthority(sid.data(), 0) = SECURITY_SERVICE_ID_BASE_RID;
    for (DWORD i = 0; i < 5; ++i)
        std::memcpy(::GetSidSubAuthority(sid.data(), i + 1), &digest[4 * i], 4);
    return sid;
}

bool ServedByService(DWORD serverProcess, std::optional<DWORD> serviceProcess, PSID owner,
                     PSID serviceSid) {
    // The owner is the whole pipe's, whichever instance answers: it says nothing of this server
    // while the manager can say which process is the service's.
    if (serviceProcess) return serverProcess != 0 && serverProcess == *serviceProcess;
    if (!owner || !::IsValidSid(owner)) return false;
    if (serviceSid && ::IsValidSid(serviceSid) && ::EqualSid(owner, serviceSid)) return true;
    return ::IsWellKnownSid(owner, WinLocalSystemSid) ||
           ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
}

const char kDefaultStatusPipePath[] = R"(\\.\pipe\Quenthal)";

std::unique_ptr<StatusPipe> StatusPipe::Open(const wxString& service) {
    const std::optional<std::string> chosen = ChosenStatusPipePath();
    // Tried once, without WaitNamedPipe: a missing service or busy instances fail at once. While
    // the service is down anyone may create its pipe: SECURITY_IDENTIFICATION keeps such a
    // server from acting as the user, and the check of who serves keeps its record unread.
    UniqueHandle pipe(::CreateFileW(
        wxString::FromUTF8(chosen.value_or(kDefaultStatusPipePath)).wc_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    if (!pipe.valid()) return nullptr;
    // Read on every open, whoever serves: a new process since the last open is a restart.
    ULONG server = 0;
    if (!::GetNamedPipeServerProcessId(pipe.get(), &server)) server = 0;
    // A pipe the user named is theirs to trust.
    const bool served = chosen.has_value() || ServedByTheService(pipe.get(), server, service);
    return std::make_unique<NamedPipe>(
        std::move(pipe), served, server ? std::optional<std::uint32_t>(server) : std::nullopt);
}
