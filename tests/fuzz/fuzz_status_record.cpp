// The service's record: any bytes at all, of any length, read as a record and as UTF-16LE text.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_utf.h"
#include "service/service_status.h"
#include "service/text_decoding.h"

namespace {

std::vector<std::uint8_t> EncodeUtf16Le(const wxString& text) {
    std::vector<std::uint8_t> bytes;
    const auto put = [&bytes](std::uint32_t unit) {
        bytes.push_back(std::uint8_t(unit));
        bytes.push_back(std::uint8_t(unit >> 8));
    };
    for (const wxUniChar c : text) {
        const std::uint32_t value = c.GetValue();
        if (value < 0x10000) {
            put(value);
        } else {
            put(0xD800 + ((value - 0x10000) >> 10));
            put(0xDC00 + ((value - 0x10000) & 0x3FF));
        }
    }
    return bytes;
}

// The units up to the first NUL unit, as bytes.
std::vector<std::uint8_t> TextUnits(const std::uint8_t* data, std::size_t units) {
    std::size_t length = 0;
    while (length < units && (data[2 * length] | data[2 * length + 1]) != 0) ++length;
    return std::vector<std::uint8_t>(data, data + 2 * length);
}

// Text that was not replaced anywhere goes back to exactly the units it came from.
void CheckDecoding(const std::uint8_t* data, std::size_t units) {
    const wxString text = DecodeUtf16Le(data, units);
    FUZZ_CHECK(text.length() <= units);
    FUZZ_CHECK(AllScalarValues(text));
    if (!HasReplacement(text)) FUZZ_CHECK(EncodeUtf16Le(text) == TextUnits(data, units));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A refresh keeps what arrived and leaves the rest zero.
    ServiceStatus status;
    std::copy_n(data, std::min(size, status.bytes.size()), status.bytes.begin());
    const wxString version = status.version();
    FUZZ_CHECK(version.length() <= ServiceStatus::kVersionUnits);
    CheckDecoding(status.bytes.data() + ServiceStatus::kVersionOffset,
                  ServiceStatus::kVersionUnits);

    // The integers are the little-endian bytes at their offsets, whatever the host.
    const auto at = [&status](std::size_t offset, int width) {
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) value |= std::uint64_t(status.bytes[offset + i]) << (8 * i);
        return value;
    };
    FUZZ_CHECK(std::uint32_t(status.httpPort()) == at(ServiceStatus::kHttpPortOffset, 4));
    FUZZ_CHECK(std::uint32_t(status.httpsPort()) == at(ServiceStatus::kHttpsPortOffset, 4));
    FUZZ_CHECK(std::uint32_t(status.rtspPort()) == at(ServiceStatus::kRtspPortOffset, 4));
    FUZZ_CHECK(std::uint32_t(status.remotePort()) == at(ServiceStatus::kRemotePortOffset, 4));
    FUZZ_CHECK(std::uint64_t(status.lastUpdate()) == at(ServiceStatus::kLastUpdateOffset, 8));

    // The decoder on its own, over every whole unit of the input: it never reads past them.
    CheckDecoding(data, size / 2);
    return 0;
}
