#include "tray/sentak_dialog.h"

#include <wx/button.h>
#include <wx/intl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "tray/translations.h"

SentakDialog* g_mainDialog = nullptr;

namespace {
constexpr int kPollPeriodMs = 2000;
}

wxBEGIN_EVENT_TABLE(SentakDialog, wxDialog)
    EVT_BUTTON(wxID_OK, SentakDialog::OnHideButton)
    EVT_BUTTON(wxID_EXIT, SentakDialog::OnExitButton)
    EVT_CLOSE(SentakDialog::OnClose)
wxEND_EVENT_TABLE()

SentakDialog::SentakDialog(const wxString& title, const TrayIconFactory& makeTrayIcon)
    : wxDialog(nullptr, wxID_ANY, title) {
    const wxSizerFlags flags = wxSizerFlags().Border(wxALL, 10);
    auto* content = new wxBoxSizer(wxVERTICAL);
    content->Add(
        new wxStaticText(this, wxID_ANY, "Press 'Hide me' to hide this window, Exit to quit."),
        flags);
    content->Add(
        new wxStaticText(this, wxID_ANY, "Double-click on the taskbar icon to show me again."),
        flags);
    content->AddStretchSpacer(1)->SetMinSize(200, 50);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(this, wxID_ABOUT, "&About"), flags);
    buttons->Add(new wxButton(this, wxID_OK, "&Hide"), flags);
    buttons->Add(new wxButton(this, wxID_EXIT, "E&xit"), flags);
    content->Add(buttons, wxSizerFlags(flags).CentreHorizontal());
    SetSizerAndFit(content);
    Centre(wxBOTH);

    auto trayIcon = makeTrayIcon ? makeTrayIcon() : std::make_unique<Sentak>();
    InstallTranslations();
    m_trayIcon = std::move(trayIcon);

    m_trayIcon->ShowFirstDisplay();

    m_pollTimer = std::make_unique<wxTimer>(m_trayIcon.get(), wxID_ANY);
    m_pollTimer->Start(kPollPeriodMs, wxTIMER_CONTINUOUS);
}

void SentakDialog::OnHideButton(wxCommandEvent&) { Show(false); }

void SentakDialog::OnExitButton(wxCommandEvent&) { Close(true); }

void SentakDialog::OnClose(wxCloseEvent&) { Destroy(); }
