// The brand file: any bytes at all, as the first kilobyte of Resources/brand.json.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_utf.h"
#include "service/brand.h"
#include "service/text_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);

    // Text that was not replaced anywhere is exactly the bytes before the first NUL.
    const wxString text = DecodeUtf8(bytes, size);
    const std::size_t textBytes = strnlen(bytes, size);
    FUZZ_CHECK(text.length() <= textBytes);
    FUZZ_CHECK(AllScalarValues(text));
    if (!HasReplacement(text)) {
        const wxScopedCharBuffer utf8 = text.utf8_str();
        FUZZ_CHECK(std::string(utf8.data(), utf8.length()) == std::string(bytes, textBytes));
    }

    // A name is never empty, never holds the quote that ends it, and is part of the text.
    const wxString name = ParseProductName(bytes, size);
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(name.Find('"') == wxNOT_FOUND);
    FUZZ_CHECK(name == "Vantora 3" || text.Find("\"productname\": \"" + name) != wxNOT_FOUND);
    return 0;
}
