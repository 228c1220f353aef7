#pragma once

// The words of what the tray shows and says about the service: tooltips, notices and the menu's
// facts, each translated at the moment of use with the product name put in.

#include <chrono>
#include <cstdint>
#include <optional>

#include <wx/string.h>

#include "base/menu_model.h"
#include "platform/service_state.h"
#include "service/service_status.h"
#include "tray/outage_reason.h"

// The menu's facts and separators, each with an id for its role in both forms, so that hosts
// that keep entries by id (dbusmenu) see an entry change rather than a new one. Numbered apart
// from the commands, whose ids may grow below them.
enum {
    ID_LAST_UPDATED = 6100,
    ID_SERVICE_HEADER,
    ID_VERSION_FACT,
    ID_HTTP_PORT_FACT,
    ID_HTTPS_PORT_FACT,
    ID_RTSP_PORT_FACT,
    ID_REMOTE_PORT_FACT,
    ID_SEPARATOR_FACTS,
    ID_SEPARATOR_COMMANDS,
    ID_SEPARATOR_EXIT,
    ID_OUTAGE_REASON,
    ID_RUNNING_SINCE,
    ID_RESTARTS,
    ID_OWN_WORDS,
    ID_LOG_ADVICE,
};

// The restarts counted, with the time of the first (seconds since 1970), to tell where counted.
struct RestartTally {
    int count = 0;
    std::int64_t firstAt = 0;
};

struct Words {
    wxString title, message;
};

wxString UnknownTooltip();
wxString RunningTooltip(const RestartTally& restarts);
// ownWords: what the service itself last said, as it came; the texts quote it on one line.
wxString StoppedTooltip(const std::optional<OutageReason>& reason,
                        const std::optional<wxString>& ownWords);

Words StopNoticeWords(const std::optional<OutageReason>& reason,
                      const std::optional<wxString>& ownWords);
Words BackNoticeWords(std::chrono::seconds down);
// lastEnd: how the process before the restart ended, where the manager told.
Words RestartNoticeWords(const std::optional<ServiceEnd>& lastEnd, const RestartTally& restarts);
// whereTheIconIs: the desktop's words for where a tray shows the icon; none when no tray does, and
// the no-tray notice said why.
Words StartedAgainWords(const std::optional<wxString>& whereTheIconIs);

// Everything the menu's facts show.
struct FactsShown {
    bool extended = false;           // the menu's extended form, with the time of the last update
    bool valid = false;              // the service answered the last refresh
    ServiceStatus status;            // its record then
    std::int64_t outageShownAt = 0;  // the time the extended menu shows while it does not answer
    std::optional<OutageReason> reason;
    std::optional<wxString> ownWords;   // what the service itself last said, as it came
    std::optional<wxString> logAdvice;  // what would make its log readable
    std::optional<std::int64_t> runningSince;
    RestartTally restarts;
};
// The menu's facts from the top down to the separator before the commands.
MenuModel FactsMenu(const FactsShown& facts);
