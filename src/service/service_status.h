#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <wx/string.h>

// The service's 160-byte status record, kept exactly as it arrived. Fields are read from their
// little-endian byte offsets whatever the host, so the record never depends on struct layout.
struct ServiceStatus {
    static constexpr std::size_t kSize = 160;
    static constexpr std::size_t kVersionOffset = 66;
    static constexpr std::size_t kVersionUnits = 33;
    static constexpr std::size_t kHttpPortOffset = 132;
    static constexpr std::size_t kHttpsPortOffset = 136;
    static constexpr std::size_t kRtspPortOffset = 140;
    static constexpr std::size_t kRemotePortOffset = 144;
    static constexpr std::size_t kLastUpdateOffset = 152;

    std::array<std::uint8_t, kSize> bytes{};

    // Up to the first NUL or all 33 UTF-16 units, on one line; a lone surrogate shows as U+FFFD.
    wxString version() const;
    std::int32_t httpPort() const { return Int32At(kHttpPortOffset); }
    std::int32_t httpsPort() const { return Int32At(kHttpsPortOffset); }
    std::int32_t rtspPort() const { return Int32At(kRtspPortOffset); }
    std::int32_t remotePort() const { return Int32At(kRemotePortOffset); }
    // Seconds since 1970-01-01 UTC; -1 means no time.
    std::int64_t lastUpdate() const;

    bool operator==(const ServiceStatus& other) const { return bytes == other.bytes; }

private:
    std::int32_t Int32At(std::size_t offset) const;
};

static_assert(sizeof(ServiceStatus) == ServiceStatus::kSize, "the record is exactly 160 bytes");
