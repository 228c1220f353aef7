#pragma once

// Whether the standard output is the systemd journal: JOURNAL_STREAM names its device and inode.
bool StandardOutputIsJournal();
