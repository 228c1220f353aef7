#include "platform/chosen_pipe.h"

#include <cstdint>
#include <cstdio>

wxString PipeKey() {
    const std::optional<std::string> pipe = ChosenStatusPipePath();
    if (!pipe) return {};
    std::uint64_t hash = 14695981039346656037u;  // FNV-1a
    for (const char byte : *pipe) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211u;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
    return key;
}
