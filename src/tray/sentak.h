#pragma once

#include <memory>

#include <wx/timer.h>

#include "platform/service_control.h"
#include "platform/service_state.h"
#include "platform/session_events.h"
#include "platform/tray_icon.h"
#include "service/service_status.h"
#include "tray/desktop.h"
#include "tray/icon_cache.h"
#include "tray/menu_commands.h"
#include "tray/outage_rules.h"

// The tray icon: polls the service, hands the outage's rules what happens, and turns their
// answers into displays, menus, notices and boxes.
class Sentak : public TrayIcon {
public:
    explicit Sentak(Desktop& desktop = DefaultDesktop(),
                    std::unique_ptr<ServiceControl> serviceControl = MakeServiceControl(),
                    std::unique_ptr<ServiceStateReader> stateReader = MakeServiceStateReader());
    // Closes the stop notice, whose button and click would otherwise reach a tray that is gone.
    ~Sentak() override;

    // The display before the service has been read, and the first menu for hosts; once the
    // translations are in place.
    void ShowFirstDisplay();

    // Reads the service's record once and hands the rules its outcome, whose failure counts
    // toward the stop as a tick's does; hands the hosts the menu when it changed with it.
    void RefreshStatus();

    // The poll tick: refresh, then the running display, or the stop report once 10 refreshes in a
    // row have failed.
    void OnTimer(wxTimerEvent& event);

    // A fresh menu for each opening, built from a fresh refresh; the toolkit owns and deletes it.
    wxMenu* CreatePopupMenu() override;
    // What the popup menu shows: refreshes, then reads the Shift key for the form.
    MenuModel OpenMenu() override;

    void OnTrayDoubleClick(wxTaskBarIconEvent& event);

private:
    Desktop& m_desktop;
    IconFileCache m_serviceIcon;  // Resources/Icons/dvr.ico
    OutageRules m_rules;
    // Declared after what a command reports to, so that it is destroyed first: the command under
    // way is cancelled while its callback's targets still exist.
    std::unique_ptr<ServiceControl> m_serviceControl;
    std::unique_ptr<ServiceStateReader> m_stateReader;  // reports to the rules
    // Sleep and the session's end, told to the rules; goes first, before what it reports to.
    std::unique_ptr<SessionWatch> m_session;

    // One read of the service's record, as the rules take it.
    static OutageRules::Reading ReadStatus();
    // One refresh and what the rules answer to it; what each tick does.
    void Poll();
    // Carries an answer of the rules out, in order: menu, display, notices, question.
    void CarryOut(const OutageRules::Answer& answer);
    void ShowDisplay(const OutageRules::Display& display);
    void Raise(const OutageRules::Notice& notice);
    void AskWhy();
    // Reads what the service itself last logged of run, for the rules.
    void ReadLog(ServiceRun run);
    // Hands the rules what the service manager and the session tell unasked, from now on.
    void Watch();
    // The menu as the rules decide it, in the form of the last opening.
    MenuModel Menu() const;
    void HandMenu() { SetMenu(Menu()); }
    // A fresh refresh, the menu in the form given as the rules then decide it, handed to the
    // hosts too.
    MenuModel Reopen(bool extended);
    // The menu in its extended form where the pointer is, as a click on the stop notice opens it.
    void OpenExtendedMenu();

    // Every command of the menu, by its row.
    void OnMenuCommand(wxCommandEvent& event);
    void OpenWebSettings();
    void RunSystemCommand(const char* name);
    // A report for a support request on the clipboard.
    void CopyDiagnostics();
    // Start, stop or restart the service; ignored while a command of ours is under way.
    void ControlService(ServiceCommand command);
    void OnServiceCommandDone(ServiceCommand command, const ServiceOutcome& outcome);

    // A later start found this Sentak running and ended: says so briefly, and where the icon is,
    // to a user who may have started it again for not seeing it.
    void OnStartedAgain();
    // A short notification that no tray shows the icon and what to do, as the standard error's
    // line says it.
    void NoTrayShowsIcon() override;

    wxDECLARE_EVENT_TABLE();
};
