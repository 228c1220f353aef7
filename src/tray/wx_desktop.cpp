#include <wx/clipbrd.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "platform/platform.h"
#include "tray/desktop.h"

namespace {

class WxDesktop : public Desktop {
public:
    void LaunchBrowser(const wxString& url, std::function<void()> failed) override {
        StartBrowser(url, std::move(failed));
    }

    bool OpenServiceManager() override { return StartServiceManager(); }

    int ShowMessage(const wxString& message, const wxString& caption, long style) override {
        return wxMessageBox(message, caption, style, nullptr);
    }

    bool CopyToClipboard(const wxString& text) override {
        if (!wxTheClipboard->Open()) return false;
        wxTheClipboard->SetData(new wxTextDataObject(text));  // the clipboard owns it
        wxTheClipboard->Close();
        return true;
    }

    bool IsShiftDown() override { return wxGetKeyState(WXK_SHIFT); }

    void Notify(wxTaskBarIcon& icon, const wxString& title, const wxString& message) override {
        ShowNotification(icon, title, message);
    }
};

}  // namespace

Desktop& DefaultDesktop() {
    static WxDesktop desktop;
    return desktop;
}
