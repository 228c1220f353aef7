#include "platform/service_log.h"

#include <wx/arrstr.h>
#include <wx/msw/wrapwin.h>  // windows.h as the toolkit includes it

#include <chrono>
#include <ctime>
#include <functional>
#include <vector>

#include "platform/windows/event_record.h"
#include "platform/windows/service_manager.h"
#include "platform/windows/unique_handle.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMostEntries = 1000;  // of each log
constexpr auto kMostTime = std::chrono::milliseconds(200);
constexpr std::size_t kMostChars = 4096;
constexpr DWORD kMostInsertions = 99;  // %1 to %99

struct CloseEventLog {
    void operator()(HANDLE log) const { ::CloseEventLog(log); }
};
struct FreeModule {
    void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
struct FreeLocal {
    void operator()(wchar_t* text) const { ::LocalFree(text); }
};
using UniqueEventLog = UniqueOwner<HANDLE, CloseEventLog>;
using UniqueModule = UniqueOwner<HMODULE, FreeModule>;
using UniqueLocalText = UniqueOwner<wchar_t*, FreeLocal>;

// Where the reading of a log ends: in time, and at the records older than the run.
struct Bounds {
    Clock::time_point deadline;
    std::int64_t since;
};

// The newest record of log that wanted accepts, read newest first within bounds; the log is in
// the order its records were written, so the first one older than the run ends the search.
// denied is set when the user may not read the log.
std::optional<EventRecord> Newest(const wchar_t* log, const Bounds& bounds,
                                  const std::function<bool(const EventRecord&)>& wanted,
                                  bool& denied) {
    const UniqueEventLog handle(::OpenEventLogW(nullptr, log));
    DWORD error = handle ? ERROR_SUCCESS : ::GetLastError();
    std::vector<std::uint8_t> buffer(0x10000);
    for (int looked = 0; !error && looked < kMostEntries && Clock::now() < bounds.deadline;) {
        DWORD read = 0, needed = 0;
        if (!::ReadEventLogW(handle.get(), EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0,
                             buffer.data(), DWORD(buffer.size()), &read, &needed)) {
            error = ::GetLastError();  // ERROR_HANDLE_EOF past the log's oldest record
            if (error == ERROR_INSUFFICIENT_BUFFER) {
                buffer.resize(needed);
                error = ERROR_SUCCESS;
            }
            continue;
        }
        for (std::size_t at = 0; at < read && looked < kMostEntries; ++looked) {
            const auto record = DecodeEventRecord(buffer.data() + at, read - at);
            if (!record || record->timeGenerated < bounds.since) return std::nullopt;
            if (wanted(*record)) return record;
            at += record->length;
        }
    }
    denied = denied || error == ERROR_ACCESS_DENIED;
    return std::nullopt;
}

// The message files of the event source in log, separated by ';', with %SystemRoot% and the
// like expanded; empty when the source has none.
wxString MessageFiles(const wchar_t* log, const wxString& source) {
    const wxString key =
        wxString("SYSTEM\\CurrentControlSet\\Services\\EventLog\\") + log + "\\" + source;
    wchar_t files[2048] = {};
    DWORD size = sizeof files;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.wc_str(), L"EventMessageFile", RRF_RT_REG_SZ,
                       nullptr, files, &size) != ERROR_SUCCESS)
        return {};
    return files;
}

// record's message as the message file at path words it, with its insertion strings put in;
// none when the file cannot be loaded or has no message of that id.
std::optional<wxString> FromMessageFile(const wxString& path, const EventRecord& record) {
    const UniqueModule module(::LoadLibraryExW(
        path.wc_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return std::nullopt;
    // A message may name more insertions than the record holds: those are left empty.
    std::vector<DWORD_PTR> insertions(kMostInsertions, DWORD_PTR(L""));
    for (std::size_t i = 0; i < record.strings.size() && i < kMostInsertions; ++i)
        insertions[i] = DWORD_PTR(record.strings[i].wc_str());
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                             FORMAT_MESSAGE_ARGUMENT_ARRAY,
                         module.get(), record.eventId, 0, reinterpret_cast<wchar_t*>(&text), 0,
                         reinterpret_cast<va_list*>(insertions.data()));
    const UniqueLocalText owned(text);
    if (length == 0) return std::nullopt;
    return wxString(text, length);
}

// What record says, in the words Event Viewer shows, or ours where those cannot be had.
LastWords Said(const wchar_t* log, const EventRecord& record) {
    wxString text = InsertedText(record);
    for (const wxString& path : wxSplit(MessageFiles(log, record.source), ';', 0)) {
        if (const auto message = FromMessageFile(path, record)) {
            text = *message;
            break;
        }
    }
    text.Truncate(kMostChars);
    while (!text.empty() && wxString("\r\n ").Contains(text.Last())) text.RemoveLast();
    return {LastWords::Found::Line, text};
}

std::int64_t BootTime() { return std::time(nullptr) - std::int64_t(::GetTickCount64() / 1000); }

}  // namespace

LastWords ReadLastWords(const ServiceRun& run) {
    const Bounds bounds{Clock::now() + kMostTime, run.startedAt.value_or(BootTime())};
    bool denied = false;
    const auto own = Newest(
        L"Application", bounds,
        [&](const EventRecord& record) { return IsOwnError(record, run.service); }, denied);
    if (own) return Said(L"Application", *own);
    const wxString displayName = ServiceDisplayName(run.service);
    const auto end = Newest(
        L"System", bounds,
        [&](const EventRecord& record) {
            return IsUnexpectedEnd(record, run.service, displayName);
        },
        denied);
    if (end) return Said(L"System", *end);
    return {denied ? LastWords::Found::Unreadable : LastWords::Found::Nothing, {}};
}
