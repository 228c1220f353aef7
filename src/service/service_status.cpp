#include "service/service_status.h"

#include "base/little_endian.h"
#include "service/text_decoding.h"

wxString ServiceStatus::version() const {
    return OneLine(DecodeUtf16Le(bytes.data() + kVersionOffset, kVersionUnits));
}

std::int32_t ServiceStatus::Int32At(std::size_t offset) const {
    return static_cast<std::int32_t>(LittleEndian(bytes.data() + offset, 4));
}

std::int64_t ServiceStatus::lastUpdate() const {
    return static_cast<std::int64_t>(LittleEndian(bytes.data() + kLastUpdateOffset, 8));
}
