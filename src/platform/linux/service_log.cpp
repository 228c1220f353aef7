#include "platform/linux/service_log.h"

#include <glib.h>
#include <systemd/sd-id128.h>
#include <systemd/sd-journal.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <optional>

#include "base/unique_owner.h"
#include "base/utf8_cut.h"

namespace {

struct CloseJournal {
    void operator()(sd_journal* journal) const { sd_journal_close(journal); }
};
using UniqueJournal = UniqueOwner<sd_journal*, CloseJournal>;
using Clock = std::chrono::steady_clock;

constexpr int kMostEntries = 1000;
constexpr auto kMostTime = std::chrono::milliseconds(200);
// A message comes from the service as it is: binary, or as long as the journal takes.
constexpr std::size_t kMostBytes = 4096;

// The value of field in the entry the journal is at, cut at kMostBytes where a UTF-8 character
// starts (not on a continuation byte); none when the entry has no such field.
std::optional<std::string> Field(sd_journal* journal, const char* field) {
    const void* data = nullptr;
    std::size_t size = 0;
    const std::size_t name = std::strlen(field) + 1;  // "FIELD="
    if (sd_journal_get_data(journal, field, &data, &size) < 0 || size < name) return {};
    // And the byte after the cap, which tells whether the cut falls inside a character.
    std::string value(static_cast<const char*>(data) + name, std::min(size - name, kMostBytes + 1));
    value.resize(Utf8CutLength(value.data(), value.size(), kMostBytes));
    return value;
}

// Priority err or worse: emerg (0) to err (3).
bool IsError(sd_journal* journal) {
    const auto priority = Field(journal, "PRIORITY");
    return priority && priority->size() == 1 && (*priority)[0] >= '0' && (*priority)[0] <= '3';
}

// The message as text: invalid UTF-8 and NULs become U+FFFD, as GLib repairs text.
LastWords Said(const std::string& message) {
    gchar* valid = g_utf8_make_valid(message.data(), gssize(message.size()));
    LastWords words{LastWords::Found::Line, wxString::FromUTF8(valid)};
    g_free(valid);
    return words;
}

bool AddMatch(sd_journal* journal, const std::string& match) {
    return sd_journal_add_match(journal, match.data(), match.size()) >= 0;
}

// What narrows the unit's entries to the run: its invocation, or this boot when the manager named
// no run; empty when this boot cannot be told.
std::string RunScope(const wxString& runId) {
    if (!runId.empty()) return "_SYSTEMD_INVOCATION_ID=" + std::string(runId.utf8_str());
    sd_id128_t boot;
    char id[SD_ID128_STRING_MAX];
    if (sd_id128_get_boot(&boot) < 0) return {};
    return "_BOOT_ID=" + std::string(sd_id128_to_string(boot, id));
}

// Narrows the journal to the lines the service logged in the run.
bool MatchRun(sd_journal* journal, const ServiceRun& run) {
    const std::string scope = RunScope(run.runId);
    return !scope.empty() &&
           AddMatch(journal, "_SYSTEMD_UNIT=" + std::string(run.service.utf8_str())) &&
           AddMatch(journal, scope);
}

// Whether a journal file lies in one of folders or the folders directly in them (journald keeps
// one a machine), readable or not: the folders are open to all, the files to their readers only.
bool HoldJournal(std::initializer_list<std::string> folders) {
    namespace fs = std::filesystem;
    for (const std::string& folder : folders) {
        std::error_code error;
        fs::recursive_directory_iterator file(folder, error), end;
        for (; !error && file != end; file.increment(error)) {
            if (file.depth() > 0) file.disable_recursion_pending();
            const fs::path extension = file->path().extension();
            if (extension == ".journal" || extension == ".journal~") return true;
        }
    }
    return false;
}

// Walks the run's entries from its newest: the newest of priority err or worse, else the newest
// of any, within the bounds. folders: where the journal's files are.
LastWords ReadRun(sd_journal* journal, const ServiceRun& run, Clock::time_point start,
                  std::initializer_list<std::string> folders) {
    // A user who may read no journal file still opens the journal, only with no file in it; a
    // machine without a journal (a container, say) has none to open for anyone.
    std::uint64_t usage = 0;
    if (sd_journal_get_usage(journal, &usage) < 0 || usage == 0)
        return {HoldJournal(folders) ? LastWords::Found::Unreadable : LastWords::Found::Nothing,
                {}};
    sd_journal_set_data_threshold(journal, kMostBytes);
    if (!MatchRun(journal, run) || sd_journal_seek_tail(journal) < 0) return {};
    std::optional<std::string> newest;
    for (int looked = 0; looked < kMostEntries && Clock::now() - start < kMostTime &&
                         sd_journal_previous(journal) > 0;
         ++looked) {
        if (IsError(journal))
            if (const auto message = Field(journal, "MESSAGE")) return Said(*message);
        if (!newest) newest = Field(journal, "MESSAGE");
    }
    return newest ? Said(*newest) : LastWords{};
}

}  // namespace

LastWords ReadLastWords(const ServiceRun& run) {
    const auto start = Clock::now();
    sd_journal* journal = nullptr;
    // The service is a system unit: its lines are in the system's journal, on this machine.
    if (sd_journal_open(&journal, SD_JOURNAL_LOCAL_ONLY | SD_JOURNAL_SYSTEM) < 0)
        return {LastWords::Found::Unreadable, {}};
    return ReadRun(UniqueJournal(journal).get(), run, start,
                   {"/var/log/journal", "/run/log/journal"});
}

LastWords ReadLastWordsIn(const ServiceRun& run, const std::string& directory) {
    const auto start = Clock::now();
    sd_journal* journal = nullptr;
    if (sd_journal_open_directory(&journal, directory.c_str(), 0) < 0)
        return {LastWords::Found::Unreadable, {}};
    return ReadRun(UniqueJournal(journal).get(), run, start, {directory});
}
