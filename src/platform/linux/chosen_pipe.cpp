#include <cstdlib>

#include "platform/chosen_pipe.h"

// The bytes as they are: the toolkit would decode them by the locale, and lose them in "C".
std::optional<std::string> ChosenStatusPipePath() {
    const char* path = std::getenv("QUENTHAL_PIPE");
    if (!path || !*path) return std::nullopt;
    return path;
}
