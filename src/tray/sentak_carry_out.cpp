// The rules' answers as the toolkit carries them out: displays, notices and the manager's
// question.
#include <wx/artprov.h>
#include <wx/bmpbndl.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "service/brand.h"
#include "service/resources.h"
#include "tray/sentak.h"

namespace {

// A debug record (discarded at the program's log level) for a tray that refused its image, named
// after the file "sentak" and the function that set the display.
void LogCouldNotSetIcon(const char* function, int line = __builtin_LINE()) {
    if (wxLog::IsLevelEnabled(wxLOG_Debug, wxLOG_COMPONENT))
        wxLogger(wxLOG_Debug, "sentak", line, function, wxLOG_COMPONENT).Log("Could not set icon.");
}

wxBitmapBundle Art(const wxArtID& id) {
    return wxArtProvider::GetBitmapBundle(id, wxART_OTHER, wxSize(32, 32));
}

}  // namespace

void Sentak::CarryOut(const OutageRules::Answer& answer) {
    if (answer.menuChanged) HandMenu();
    if (answer.display) ShowDisplay(*answer.display);
    if (answer.closeNotice) m_desktop.CloseNotice();
    if (answer.notice) Raise(*answer.notice);
    if (answer.askWhy) AskWhy();
    if (answer.readLog) ReadLog(*answer.readLog);
}

// The image goes with the kind: the service's own icon while it runs, the desktop's art otherwise.
void Sentak::ShowDisplay(const OutageRules::Display& display) {
    const wxBitmapBundle image =
        display.kind == Shown::Running
            // The same image object while the file is unchanged: showing it again is cheap.
            ? m_serviceIcon.Get(ResourcePath("Icons", "dvr.ico"))
            : Art(display.kind == Shown::Stopped ? wxART_WARNING : wxART_QUESTION);
    static_assert(int(Shown::Unknown) == int(TrayDisplay::Kind::Unknown) &&
                  int(Shown::Running) == int(TrayDisplay::Kind::Running) &&
                  int(Shown::Stopped) == int(TrayDisplay::Kind::Stopped));
    const auto kind = static_cast<TrayDisplay::Kind>(display.kind);
    if (!Show({kind, image, display.tooltip, display.attention}))
        LogCouldNotSetIcon("Sentak::ShowDisplay");
}

void Sentak::Raise(const OutageRules::Notice& notice) {
    if (notice.kind == OutageRules::Notice::Kind::Brief)
        return m_desktop.NotifyBriefly(*this, BriefKind::News, notice.title, notice.message, true);
    if (notice.kind == OutageRules::Notice::Kind::Restart)
        return m_desktop.NotifyBriefly(*this, BriefKind::Restart, notice.title, notice.message,
                                       notice.replacesLast);
    std::optional<NoticeAction> action;
    if (notice.remedy) {
        const int id =
            *notice.remedy == ServiceCommand::Start ? ID_START_SERVICE : ID_RESTART_SERVICE;
        // Exactly what the menu's entry does, pending state and failure box included.
        action = NoticeAction{wxStripMenuCodes(CommandLabel(id)), [this, id] {
                                  wxCommandEvent event(wxEVT_MENU, id);
                                  event.SetEventObject(this);
                                  SafelyProcessEvent(event);
                              }};
    }
    // After the click's event has returned, as a menu opened from the icon would be; the toolkit
    // drops the call if this tray goes first.
    auto openMenu = [this] { CallAfter(&Sentak::OpenExtendedMenu); };
    m_desktop.Notify(*this, notice.title, notice.message, std::move(action), std::move(openMenu));
}

void Sentak::ReadLog(ServiceRun run) {
    run.service = GetServiceName();
    m_stateReader->AskLastWords(std::move(run), [this](const LastWords& words) {
        LastWords said = words;
        if (said.found == LastWords::Found::Unreadable) said.line = m_desktop.LogAccessAdvice();
        CarryOut(m_rules.LogSaid(said));
    });
}

void Sentak::AskWhy() {
    m_stateReader->Ask(GetServiceName(), [this](const std::optional<ServiceFacts>& facts) {
        CarryOut(m_rules.ManagerSaid(facts));
    });
}
