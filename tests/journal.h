#pragma once
// Journals of the tests' own, written by systemd's own journal-remote from the journal's export
// format.
#include <cstdio>
#include <string>

#include "support.h"

// One entry in the export format, its message as binary data, which may hold any bytes.
inline std::string Entry(const std::string& unit, const std::string& run, const std::string& boot,
                         int priority, const std::string& message) {
    const std::uint64_t size = message.size();  // little-endian, as is this machine
    return "__REALTIME_TIMESTAMP=1\n_BOOT_ID=" + boot + "\n_SYSTEMD_UNIT=" + unit +
           "\n_SYSTEMD_INVOCATION_ID=" + run + "\nPRIORITY=" + std::to_string(priority) +
           "\nMESSAGE\n" + std::string(reinterpret_cast<const char*>(&size), 8) + message + "\n\n";
}

// A folder of its own with one journal file of entries, which only its owner may read.
inline std::string Journal(const std::string& entries) {
    const std::string folder = PrivateFile("-journal");
    std::filesystem::create_directory(folder);
    FILE* input = popen((JOURNAL_REMOTE " --output=" + folder + "/t.journal -").c_str(), "w");
    fwrite(entries.data(), 1, entries.size(), input);
    EXPECT_EQ(pclose(input), 0);
    return folder;
}
