#include <cstdlib>

#include "platform/chosen_pipe.h"

// Wide text, since the narrow environment holds only what the code page can say.
std::optional<std::string> ChosenStatusPipePath() {
    const wchar_t* path = ::_wgetenv(L"QUENTHAL_PIPE");
    if (!path || !*path) return std::nullopt;
    return std::string(wxString(path).utf8_str());
}
