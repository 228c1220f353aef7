#include "platform/linux/journal.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

bool StandardOutputIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    std::uintmax_t device = 0, inode = 0;
    char rest = 0;
    if (!stream || std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &rest) != 2)
        return false;
    // The variable is inherited: only the descriptor the journal gave is the journal.
    struct stat out {};
    return fstat(1, &out) == 0 && out.st_dev == device && out.st_ino == inode;
}
