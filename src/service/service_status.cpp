#include "service/service_status.h"

#include "service/text_decoding.h"

namespace {

std::uint64_t LittleEndianAt(const std::uint8_t* at, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

}  // namespace

wxString ServiceStatus::version() const {
    return OneLine(DecodeUtf16Le(bytes.data() + kVersionOffset, kVersionUnits));
}

std::int32_t ServiceStatus::Int32At(std::size_t offset) const {
    return static_cast<std::int32_t>(LittleEndianAt(bytes.data() + offset, 4));
}

std::int64_t ServiceStatus::lastUpdate() const {
    return static_cast<std::int64_t>(LittleEndianAt(bytes.data() + kLastUpdateOffset, 8));
}
