#include "run_journal.h"

#include <glib.h>

#include <algorithm>
#include <fstream>
#include <iostream>

namespace {

// systemd's own writer of journal files from the export format, where Debian puts it.
constexpr const char* kJournalRemote = "/lib/systemd/systemd-journal-remote";

std::string BootId() {
    std::string boot;
    std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), boot);
    boot.erase(std::remove(boot.begin(), boot.end(), '-'), boot.end());
    return boot;
}

}  // namespace

RunJournal::RunJournal(const std::string& folder, const std::string& unit, const std::string& run)
    : m_remote(popen((std::string(kJournalRemote) + " --output=" + folder + "/system@" + run +
                      ".journal - 2>/dev/null")
                         .c_str(),
                     "w")),
      m_fields("_BOOT_ID=" + BootId() + "\n_SYSTEMD_UNIT=" + unit +
               "\n_SYSTEMD_INVOCATION_ID=" + run + "\nSYSLOG_IDENTIFIER=statusd\n") {
    if (!m_remote) std::cerr << "systemd-standin: no journal-remote: the run logs nothing\n";
}

RunJournal::~RunJournal() {
    if (m_remote) pclose(m_remote);
}

void RunJournal::Write(const std::string& line) {
    if (!m_remote) return;
    // "<3>text" is an error, as the journal reads a service's line; info otherwise.
    const bool prefixed =
        line.size() >= 3 && line[0] == '<' && line[1] >= '0' && line[1] <= '7' && line[2] == '>';
    const std::string priority = prefixed ? line.substr(1, 1) : "6";
    const std::string message = prefixed ? line.substr(3) : line;
    fprintf(m_remote, "__REALTIME_TIMESTAMP=%lld\n%sPRIORITY=%s\nMESSAGE=%s\n\n",
            static_cast<long long>(g_get_real_time()), m_fields.c_str(), priority.c_str(),
            message.c_str());
    fflush(m_remote);
}
