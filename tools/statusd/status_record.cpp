#include <algorithm>

#include "status_server.h"

namespace {

void PutLittleEndian(ServiceStatus& record, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) record.bytes[offset + i] = std::uint8_t(value >> (8 * i));
}

}  // namespace

ServiceStatus MakeRecord(const std::u16string& version, std::int32_t httpPort,
                         std::int32_t httpsPort, std::int32_t rtspPort, std::int32_t remotePort,
                         std::int64_t lastUpdate) {
    ServiceStatus record;
    // A shorter text keeps the zero unit after it as its NUL; a full field has none.
    const std::size_t units = std::min(version.size(), ServiceStatus::kVersionUnits);
    for (std::size_t i = 0; i < units; ++i)
        PutLittleEndian(record, ServiceStatus::kVersionOffset + 2 * i, version[i], 2);
    PutLittleEndian(record, ServiceStatus::kHttpPortOffset, std::uint32_t(httpPort), 4);
    PutLittleEndian(record, ServiceStatus::kHttpsPortOffset, std::uint32_t(httpsPort), 4);
    PutLittleEndian(record, ServiceStatus::kRtspPortOffset, std::uint32_t(rtspPort), 4);
    PutLittleEndian(record, ServiceStatus::kRemotePortOffset, std::uint32_t(remotePort), 4);
    PutLittleEndian(record, ServiceStatus::kLastUpdateOffset, std::uint64_t(lastUpdate), 8);
    return record;
}
