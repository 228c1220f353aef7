#pragma once

#include <cstddef>
#include <cstdint>

#include <wx/string.h>

// Text that comes from outside (the brand file, the service's record) is decoded here, never
// rejected whole: whatever is malformed becomes U+FFFD and the rest is kept.

// UTF-8 up to the first NUL byte or size bytes.
wxString DecodeUtf8(const char* bytes, std::size_t size);

// UTF-16LE up to the first NUL unit or units code units; surrogate pairs are joined.
wxString DecodeUtf16Le(const std::uint8_t* bytes, std::size_t units);

// text on one line as written, for labels, tooltips and notifications: every control character
// (a tab, a line break, an escape) and the line and paragraph separators become a space.
wxString OneLine(const wxString& text);
