#pragma once

// The event log's records as ReadEventLog hands them over (EVENTLOGRECORD), decoded from their
// bytes, and what they say about the service.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <wx/string.h>

struct EventRecord {
    std::uint32_t length = 0;        // the bytes it takes, up to the next record
    std::int64_t timeGenerated = 0;  // seconds since 1970 UTC
    std::uint32_t eventId = 0;       // whole, as its message file numbers it
    std::uint16_t type = 0;          // EVENTLOG_ERROR_TYPE, ...
    wxString source;                 // the event source that logged it
    std::vector<wxString> strings;   // what the source put into its message
};

// The record at the start of bytes; none when size bytes hold no whole, well-formed record.
std::optional<EventRecord> DecodeEventRecord(const std::uint8_t* bytes, std::size_t size);

// Whether record is an error the service logged itself: its event source is the service's name.
bool IsOwnError(const EventRecord& record, const wxString& service);

// Whether record is the service control manager's word that the service terminated unexpectedly
// (7031, 7034), which names it by its display name, or by its name where it has none.
bool IsUnexpectedEnd(const EventRecord& record, const wxString& service,
                     const wxString& displayName);

// What record says, put together from its insertion strings by us, for when the message file of
// its source cannot be read: the manager's end as a sentence, anything else its strings, one a
// line.
wxString InsertedText(const EventRecord& record);
