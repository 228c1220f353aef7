#pragma once

#include <cstdlib>
#include <string>

#include <wx/string.h>

// Stops the fuzzer with the failing input saved.
#define FUZZ_CHECK(condition)           \
    do {                                \
        if (!(condition)) std::abort(); \
    } while (0)

inline bool HasReplacement(const wxString& text) {
    return text.find(wxUniChar(0xFFFD)) != wxString::npos;
}

// Every character a Unicode scalar value: no surrogate, nothing past U+10FFFF, no NUL.
inline bool AllScalarValues(const wxString& text) {
    for (const wxUniChar c : text) {
        const auto value = c.GetValue();
        if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return false;
    }
    return true;
}
