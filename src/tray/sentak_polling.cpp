#include <wx/bmpbndl.h>
#include <wx/log.h>

#include <utility>

#include "service/brand.h"
#include "service/resources.h"
#include "tray/sentak.h"
#include "tray/translations.h"

namespace {

// Failed refreshes in a row before a stop is reported: 18 to 20 s of silence at the 2 s period,
// so a service that is only restarting or briefly busy is not reported.
constexpr std::int32_t kStopReportFailures = 10;

}  // namespace

void Sentak::OnTimer(wxTimerEvent&) { Poll(); }

void Sentak::Poll() {
    // Whatever the toolkit reports on the way (an unreadable icon file among it) would otherwise
    // come up as an error box every 2 s.
    wxLogNull quiet;

    RefreshStatus();
    if (m_statusValid) {
        // First, so that a later stop is reported even if the display below cannot be set.
        m_wasRunning = true;
        // Seen again after the asked-for stop: the next outage is nobody's wish. Not while the
        // command runs, though: a service still answering until it has stopped.
        if (!m_commandPending) m_stopAsked = false;
        const wxString tooltip = wxString::Format(
            // TRANSLATORS: Tray icon tooltip while the service answers; %s is the product name.
            TranslatedFormat("%s Service running"), GetProductName());
        // The same image object while the file is unchanged, so that setting it again is cheap.
        const wxBitmapBundle& icon = m_serviceIcon.Get(ResourcePath("Icons", "dvr.ico"));
        SetDisplayKind(TrayDisplay::Running);
        if (!SetIcon(icon, tooltip)) LogCouldNotSetIcon("Sentak::Poll");
        m_stoppedShown = false;
        if (std::exchange(m_stopNotified, false)) SayRunningAgain();
        return;
    }

    AskWhy();
    // What the manager said since the stopped display was set: the display follows it.
    if (m_stoppedShown && m_reason != m_shownReason) ShowStopped();

    // The stop is reported at the first tick that finds kStopReportFailures reached (menu openings
    // advance the count too, so it may have been passed). Once per stop, since the report clears
    // m_wasRunning; a service never seen running says nothing. A stop the user asked for shows at
    // once, and is no news to notify.
    if (!m_wasRunning || (m_failureCount < kStopReportFailures && !m_stopAsked)) return;
    m_wasRunning = false;

    ShowStopped();
    if (!m_stopAsked) NotifyStop();
}
