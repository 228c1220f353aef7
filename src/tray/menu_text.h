#pragma once

#include <chrono>
#include <cstdint>

#include <wx/string.h>

#include "platform/service_control.h"

// "???" when the status is not valid or the service has no such port (0), otherwise the port as
// a plain signed decimal number.
wxString PortText(bool statusValid, std::int32_t port);

// Text from outside the program (the service, the brand file), already on one line, made to show
// in a menu label exactly as it is: an '&' is no mnemonic.
wxString LiteralLabel(const wxString& text);

// The service's web settings page: over HTTP when it has an HTTP port, otherwise over HTTPS
// with whatever port that is.
wxString WebSettingsUrl(std::int32_t httpPort, std::int32_t httpsPort);

// "Last updated " with the date and time of seconds (since 1970-01-01 UTC) in local time.
// "Last updated ???" for -1 (no time) and for values outside the years 1 to 9999, which the
// toolkit cannot format.
wxString LastUpdatedText(std::int64_t seconds);

// The date and time of seconds (since 1970-01-01 UTC) in local time, as the user's locale writes
// them; "???" outside the years 1 to 9999.
wxString LocalTimeText(std::int64_t seconds);

// A short span of time: "45 s" under a minute, "4 min" under an hour, else "2 h 5 min" ("2 h"
// on the hour), rounded down; units translated.
wxString DurationText(std::chrono::seconds span);

// What the system said about a failed service command: its own message or, for a job of the
// service manager's that failed, the manager's word for how it ended in a translated sentence.
wxString WhyCommandFailed(const ServiceOutcome& outcome);
