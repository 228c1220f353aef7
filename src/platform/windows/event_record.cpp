#include "platform/windows/event_record.h"

#include <wx/arrstr.h>

#include <string>

#include "base/little_endian.h"

namespace {

constexpr std::size_t kFixedPart = 56;             // EVENTLOGRECORD up to the source's name
constexpr std::uint32_t kSignature = 0x654c664c;   // "LfLe"
constexpr std::uint16_t kErrorType = 1;            // EVENTLOG_ERROR_TYPE
constexpr std::uint32_t kTerminatedActing = 7031;  // the manager takes a recovery action
constexpr std::uint32_t kTerminated = 7034;        // it takes none

std::uint32_t Dword(const std::uint8_t* at) { return std::uint32_t(LittleEndian(at, 4)); }

// The zero-ended UTF-16 string at offset, which moves past it; none when it runs past end.
std::optional<wxString> String(const std::uint8_t* bytes, std::size_t end, std::size_t& offset) {
    std::wstring text;
    for (; offset + 2 <= end; offset += 2) {
        const auto unit = wchar_t(LittleEndian(bytes + offset, 2));
        if (unit == 0) {
            offset += 2;
            return wxString(text);
        }
        text += unit;
    }
    return std::nullopt;
}

std::uint32_t Code(const EventRecord& record) { return record.eventId & 0xFFFF; }

}  // namespace

std::optional<EventRecord> DecodeEventRecord(const std::uint8_t* bytes, std::size_t size) {
    if (size < kFixedPart) return std::nullopt;
    EventRecord record;
    record.length = Dword(bytes);
    if (record.length < kFixedPart || record.length > size || Dword(bytes + 4) != kSignature)
        return std::nullopt;
    record.timeGenerated = Dword(bytes + 12);
    record.eventId = Dword(bytes + 20);
    record.type = std::uint16_t(LittleEndian(bytes + 24, 2));
    const auto count = unsigned(LittleEndian(bytes + 26, 2));
    const std::size_t end = record.length - 4;  // the record ends with its length once more
    std::size_t offset = kFixedPart;
    const auto source = String(bytes, end, offset);
    if (!source) return std::nullopt;
    record.source = *source;
    offset = Dword(bytes + 36);  // StringOffset
    while (record.strings.size() < count) {
        const auto text = String(bytes, end, offset);
        if (!text) return std::nullopt;
        record.strings.push_back(*text);
    }
    return record;
}

bool IsOwnError(const EventRecord& record, const wxString& service) {
    return record.type == kErrorType && record.source.IsSameAs(service, false);
}

bool IsUnexpectedEnd(const EventRecord& record, const wxString& service,
                     const wxString& displayName) {
    return record.source == "Service Control Manager" &&
           (Code(record) == kTerminatedActing || Code(record) == kTerminated) &&
           !record.strings.empty() &&
           (record.strings[0].IsSameAs(displayName, false) ||
            record.strings[0].IsSameAs(service, false));
}

wxString InsertedText(const EventRecord& record) {
    const auto& strings = record.strings;
    if (record.source != "Service Control Manager" || strings.size() < 2 ||
        (Code(record) != kTerminatedActing && Code(record) != kTerminated))
        return wxJoin(wxArrayString(strings.size(), strings.data()), '\n', 0);
    wxString text = "The " + strings[0] + " service terminated unexpectedly. It has done this " +
                    strings[1] + " time(s).";
    // 7031's: the delay in milliseconds, the action's number and its name.
    if (Code(record) == kTerminatedActing && strings.size() >= 5)
        text += " The following corrective action will be taken in " + strings[2] +
                " milliseconds: " + strings[4] + ".";
    return text;
}
