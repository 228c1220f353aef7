#include "service/text_decoding.h"

#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

wxString DecodeUtf8(const char* bytes, std::size_t size) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    std::string out;
    std::size_t i = 0;
    while (i < size && in[i] != 0) {
        const unsigned char lead = in[i];
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte, which rules out overlong forms,
        // surrogates and values above U+10FFFF (the well-formed table of Unicode 3.9).
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        char32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, cp = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, cp = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        std::size_t taken = 1;
        bool valid = length != 0;
        for (; valid && taken < length; ++taken) {
            const std::size_t at = i + taken;
            const unsigned char lo = taken == 1 ? low : 0x80, hi = taken == 1 ? high : 0xBF;
            if (at >= size || in[at] < lo || in[at] > hi)
                valid = false;
            else
                cp = (cp << 6) | (in[at] & 0x3F);
        }
        if (valid) {
            AppendUtf8(out, cp);
            i += length;
        } else {
            // One U+FFFD for the longest ill-formed start, then resume at the offending byte.
            out += "\xEF\xBF\xBD";
            i += taken > 1 ? taken - 1 : 1;
        }
    }
    return wxString::FromUTF8(out.data(), out.size());
}

wxString OneLine(const wxString& text) {
    wxString line;
    line.reserve(text.length());
    for (const wxUniChar c : text) {
        const wxUint32 code = c.GetValue();
        const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
        line += control || code == 0x2028 || code == 0x2029 ? wxUniChar(' ') : c;
    }
    return line;
}

wxString DecodeUtf16Le(const std::uint8_t* bytes, std::size_t units) {
    auto unitAt = [bytes](std::size_t i) -> char32_t {
        return bytes[2 * i] | bytes[2 * i + 1] << 8;
    };
    std::string out;
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(i);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return wxString::FromUTF8(out.data(), out.size());
}
