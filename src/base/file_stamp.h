#pragma once

#include <cstdint>

// What tells one state of a file from another: its identity, size and times, each as finely as
// the system keeps it. Equal stamps: the same file, as far as the system can tell unchanged.
struct FileStamp {
    struct Time {
        std::int64_t seconds = 0, nanoseconds = 0;
        bool operator==(const Time& other) const {
            return seconds == other.seconds && nanoseconds == other.nanoseconds;
        }
    };
    // Device and inode, or volume serial number and file index.
    std::uint64_t volume = 0, file = 0;
    std::uint64_t size = 0;
    Time modified, changed;  // of the contents; of the contents or the file's attributes

    bool operator==(const FileStamp& other) const {
        return volume == other.volume && file == other.file && size == other.size &&
               modified == other.modified && changed == other.changed;
    }
};
