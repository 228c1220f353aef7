#include <wx/clipbrd.h>
#include <wx/msgdlg.h>
#include <wx/notifmsg.h>
#include <wx/utils.h>

#include <utility>

#include "platform/desktop_shell.h"
#include "platform/system_commands.h"
#include "service/brand.h"
#include "tray/desktop.h"

namespace {

// A notification whose button or click reaches the tray.
class Notice : public wxNotificationMessage {
public:
    Notice(const wxString& title, const wxString& message, int flags,
           std::function<void()> chosen = {}, std::function<void()> clicked = {})
        : wxNotificationMessage(title, NotificationBody(message), nullptr, flags),
          m_chosen(std::move(chosen)),
          m_clicked(std::move(clicked)) {}

    // The toolkit's balloon stays bound to its icon while shown: closed first, or a click on it
    // would reach an object that is gone.
    static void CloseAndDelete(Notice*& notice) {
        if (!notice) return;
        notice->Close();
        delete std::exchange(notice, nullptr);
    }

private:
    void OnAction(wxCommandEvent&) {
        if (m_chosen) m_chosen();
    }
    void OnClick(wxCommandEvent& event) {
        if (m_clicked)
            m_clicked();
        else
            event.Skip();
    }

    std::function<void()> m_chosen, m_clicked;
    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(Notice, wxNotificationMessage)
    EVT_COMMAND(wxID_ANY, wxEVT_NOTIFICATION_MESSAGE_ACTION, Notice::OnAction)
    EVT_COMMAND(wxID_ANY, wxEVT_NOTIFICATION_MESSAGE_CLICK, Notice::OnClick)
wxEND_EVENT_TABLE()

class WxDesktop : public Desktop {
public:
    void LaunchBrowser(const wxString& url, std::function<void()> failed) override {
        StartBrowser(url, std::move(failed));
    }

    bool Run(const SystemCommand& command) override { return command.start(GetServiceName()); }

    int ShowMessage(const wxString& message, const wxString& caption, long style) override {
        return wxMessageBox(message, caption, style, nullptr);
    }

    bool CopyToClipboard(const wxString& text) override {
        if (!wxTheClipboard->Open()) return false;
        wxTheClipboard->SetData(new wxTextDataObject(text));  // the clipboard owns it
        wxTheClipboard->Close();
        return true;
    }

    bool WantsExtendedMenu() override {
        // Where the key cannot be read, always: Exit and the service manager must stay reachable.
        return !ShiftKeyReadable() || wxGetKeyState(WXK_SHIFT);
    }
    bool ShiftKeyReadable() override { return ::ShiftKeyReadable(); }
    wxString WhereTheIconIs() override { return ::WhereTheIconIs(); }
    wxString NoTrayAdvice() override { return ::NoTrayAdvice(); }
    wxString LogAccessAdvice() override { return ::LogAccessAdvice(); }
    wxString SystemAndDesktop() override {
        const wxString desktop = DesktopName();
        return desktop.empty() ? wxGetOsDescription() : wxGetOsDescription() + ", " + desktop;
    }

    void Notify(wxTaskBarIcon& icon, const wxString& title, const wxString& message,
                std::optional<NoticeAction> action, std::function<void()> clicked) override {
        PrepareNotifications(icon);
        Notice::CloseAndDelete(m_warning);
        const bool buttons = NotificationsHaveButtons();
        m_warning = new Notice(title, message, wxICON_WARNING,
                               buttons && action ? std::move(action->chosen) : nullptr,
                               buttons ? nullptr : std::move(clicked));
        if (buttons && action) m_warning->AddAction(wxID_ANY, action->label);
        m_warning->Show(wxNotificationMessage::Timeout_Never);
    }

    void CloseNotice() override { Notice::CloseAndDelete(m_warning); }

    void NotifyBriefly(wxTaskBarIcon& icon, BriefKind kind, const wxString& title,
                       const wxString& message, bool replaceLast) override {
        PrepareNotifications(icon);
        Notice*& notice = m_brief[int(kind)];
        // A fresh notice comes anew, and the old one, long read, goes.
        if (!replaceLast) Notice::CloseAndDelete(notice);
        ShowBriefly(notice, title, message);
    }

private:
    // One object for a kind of brief notice, shown again with each: the desktop replaces the
    // notice on screen rather than adding one, and no object is left behind per notice.
    static void ShowBriefly(Notice*& notice, const wxString& title, const wxString& message) {
        if (!notice) {
            notice = new Notice(title, message, wxICON_INFORMATION);
            PrepareBriefNotices(*notice);
        } else {
            notice->SetTitle(title);
            notice->SetMessage(NotificationBody(message));
        }
        notice->Show(wxNotificationMessage::Timeout_Auto);
    }

    // The lasting warning while it may be on screen, and each kind of brief notice's one object.
    // Never deleted at exit, when the toolkit that would close them is gone.
    Notice* m_warning = nullptr;
    Notice* m_brief[3] = {};  // by BriefKind
};

}  // namespace

Desktop& DefaultDesktop() {
    static WxDesktop desktop;
    return desktop;
}
