#pragma once

#include <functional>
#include <memory>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "tray/sentak.h"

// The program's main window. Never shown: it keeps the application alive, owns the tray icon
// and the poll timer, and closing it ends the program.
class SentakDialog : public wxDialog {
public:
    using TrayIconFactory = std::function<std::unique_ptr<Sentak>()>;

    // makeTrayIcon lets tests put a recording tray icon in place of the real one.
    explicit SentakDialog(const wxString& title, const TrayIconFactory& makeTrayIcon = {});

protected:
    // Destroyed in reverse order: the tray icon (which leaves the tray) before its timer.
    std::unique_ptr<wxTimer> m_pollTimer;
    std::unique_ptr<Sentak> m_trayIcon;

private:
    void OnHideButton(wxCommandEvent& event);
    void OnExitButton(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};

// The one main dialog; set once at start-up (by the application), never cleared.
extern SentakDialog* g_mainDialog;
