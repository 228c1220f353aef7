#include <wx/clipbrd.h>
#include <wx/msgdlg.h>
#include <wx/notifmsg.h>
#include <wx/utils.h>

#include "platform/platform.h"
#include "service/brand.h"
#include "tray/desktop.h"

namespace {

class WxDesktop : public Desktop {
public:
    void LaunchBrowser(const wxString& url, std::function<void()> failed) override {
        StartBrowser(url, std::move(failed));
    }

    bool OpenServiceManager() override { return StartServiceManager(GetServiceName()); }

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

    void Notify(wxTaskBarIcon& icon, const wxString& title, const wxString& message) override {
        PrepareNotifications(icon);
        // Left alive on purpose: the notification may still be on screen (or, on Windows, be a
        // balloon of the tray icon) after this returns, and closing it is the user's business.
        auto* notification =
            new wxNotificationMessage(title, NotificationBody(message), nullptr, wxICON_WARNING);
        notification->Show(wxNotificationMessage::Timeout_Never);
    }

    void NotifyBriefly(wxTaskBarIcon& icon, const wxString& title,
                       const wxString& message) override {
        PrepareNotifications(icon);
        // Left alive for the same reason as a warning's: it may outlive this call on screen.
        auto* notification = new wxNotificationMessage(title, NotificationBody(message), nullptr,
                                                       wxICON_INFORMATION);
        notification->Show(wxNotificationMessage::Timeout_Auto);
    }
};

}  // namespace

Desktop& DefaultDesktop() {
    static WxDesktop desktop;
    return desktop;
}
