#pragma once

#include <vector>

#include <wx/defs.h>

#include "tray/desktop.h"

// Records what the program asked of the desktop and answers as the test says.
class FakeDesktop : public Desktop {
public:
    struct Message {
        wxString text, caption;
        long style;
    };
    struct Notification {
        wxString title, message;
    };

    void LaunchBrowser(const wxString& url, std::function<void()> failed) override {
        browserUrls.push_back(url);
        if (!browserStarts) failed();
    }
    bool OpenServiceManager() override {
        ++serviceManagerOpenings;
        return serviceManagerStarts;
    }
    int ShowMessage(const wxString& text, const wxString& caption, long style) override {
        messages.push_back({text, caption, style});
        return messageAnswer;
    }
    bool CopyToClipboard(const wxString& text) override {
        clipboard.push_back(text);
        return true;
    }
    bool IsShiftDown() override { return shiftDown; }
    void Notify(wxTaskBarIcon&, const wxString& title, const wxString& message) override {
        notifications.push_back({title, message});
    }

    // Answers.
    bool browserStarts = true;
    bool serviceManagerStarts = true;
    int messageAnswer = wxOK;
    bool shiftDown = false;

    // What happened.
    std::vector<wxString> browserUrls, clipboard;
    int serviceManagerOpenings = 0;
    std::vector<Message> messages;
    std::vector<Notification> notifications;
};
