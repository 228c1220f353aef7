#pragma once

// The lines of one run of the unit as the system's journal would hold them (the unit, the run's
// id, the priority that a line's "<N>" gives), in a journal file of the run's own that systemd's
// journal-remote writes from the journal's export format: what readers of the journal find of a
// service under the stand-in manager, in demos.

#include <cstdio>
#include <string>

class RunJournal {
public:
    // Writes to folder/system@<run>.journal, named as the system journal's archived files are, for
    // the readers of the system journal; run is the run's id in 32 hex digits.
    RunJournal(const std::string& folder, const std::string& unit, const std::string& run);
    // Complete once journal-remote has ended, which this waits for.
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    void Write(const std::string& line);

private:
    FILE* m_remote;
    const std::string m_fields;  // of every entry of the run
};
