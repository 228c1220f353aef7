#include "tray/menu_text.h"

#include <algorithm>
#include <ctime>

#include <wx/datetime.h>

#include "tray/translations.h"

namespace {
// 0001-01-01 00:00:00 and 9999-12-31 23:59:59 UTC. Beyond these the toolkit's formatting
// overflows or asserts, and no real service has such a time anyway.
constexpr std::int64_t kFirstShownTime = -62135596800;
constexpr std::int64_t kLastShownTime = 253402300799;
}  // namespace

wxString PortText(bool statusValid, std::int32_t port) {
    if (!statusValid || port == 0) return "???";
    return wxString::Format("%d", static_cast<int>(port));
}

wxString LiteralLabel(const wxString& text) {
    wxString label = text;
    label.Replace("&", "&&");
    return label;
}

wxString WebSettingsUrl(std::int32_t httpPort, std::int32_t httpsPort) {
    if (httpPort != 0) return wxString::Format("http://localhost:%d/", static_cast<int>(httpPort));
    return wxString::Format("https://localhost:%d/", static_cast<int>(httpsPort));
}

wxString LastUpdatedText(std::int64_t seconds) { return "Last updated " + LocalTimeText(seconds); }

wxString LocalTimeText(std::int64_t seconds) {
    if (seconds >= kFirstShownTime && seconds <= kLastShownTime) {
        const wxDateTime when(static_cast<std::time_t>(seconds));  // invalid for -1
        if (when.IsValid()) return when.Format("%x %X", wxDateTime::Local);
    }
    return "???";
}

wxString DurationText(std::chrono::seconds span) {
    // A clock set back gives no negative span.
    const long total = std::max(0L, static_cast<long>(span.count()));
    // TRANSLATORS: A span of time under a minute, in seconds.
    if (total < 60) return wxString::Format(TranslatedFormat("%d s"), int(total));
    // TRANSLATORS: A span of time under an hour, in whole minutes.
    if (total < 3600) return wxString::Format(TranslatedFormat("%d min"), int(total / 60));
    const int hours = int(total / 3600), minutes = int(total % 3600 / 60);
    // TRANSLATORS: A span of time of whole hours.
    if (minutes == 0) return wxString::Format(TranslatedFormat("%d h"), hours);
    // TRANSLATORS: A span of time of hours and minutes.
    return wxString::Format(TranslatedFormat("%d h %d min"), hours, minutes);
}

wxString WhyCommandFailed(const ServiceOutcome& outcome) {
    if (outcome.jobResult.empty()) return outcome.message;
    return wxString::Format(
        // TRANSLATORS: The system's reason why a service command failed; %s is systemd's word
        // for how the job ended: failed, timeout, canceled, dependency, skipped.
        TranslatedFormat("The service manager's job ended with the result \"%s\"."),
        outcome.jobResult);
}
