#pragma once

#include <functional>
#include <optional>

#include <wx/string.h>

class wxTaskBarIcon;
struct SystemCommand;

// A button on a notification, and what choosing it does.
struct NoticeAction {
    wxString label;
    std::function<void()> chosen;
};

// Brief notices come in kinds, so that one that explains stays in the desktop's message list
// whatever comes after it.
enum class BriefKind {
    News,     // the service back, Sentak started again
    NoTray,   // why no tray shows the icon
    Restart,  // the service restarted; updated while it keeps restarting
};

// Everything the tray reaches on the user's desktop and system, the one way it reaches them.
// Production uses the toolkit and the system; tests put a recording fake in its place so that no
// test opens a browser, a terminal or a modal box.
class Desktop {
public:
    virtual ~Desktop() = default;

    // The default browser on url, in a new window if it can. failed runs when it did not start,
    // which may be known only after this has returned: the GUI never waits for a launcher.
    virtual void LaunchBrowser(const wxString& url, std::function<void()> failed) = 0;
    // Starts what the system carries out for the service's command. False when nothing started.
    virtual bool Run(const SystemCommand& command) = 0;
    // A message box without parent; returns the button chosen (wxOK, wxCANCEL, ...).
    virtual int ShowMessage(const wxString& message, const wxString& caption, long style) = 0;
    // Puts text on the clipboard; false when the clipboard could not be opened.
    virtual bool CopyToClipboard(const wxString& text) = 0;
    // Whether the menu opening now takes its extended form: Shift is held.
    virtual bool WantsExtendedMenu() = 0;
    // Whether the Shift key can be read as the menu opens: where it cannot, the menu always takes
    // its extended form.
    virtual bool ShiftKeyReadable() = 0;
    // Where this desktop shows the icon, and what a user can do where no tray shows it; translated.
    virtual wxString WhereTheIconIs() = 0;
    virtual wxString NoTrayAdvice() = 0;
    // What would let the user read the service's log, where the system refused it; translated.
    virtual wxString LogAccessAdvice() = 0;
    // The operating system and the desktop, as a support request names them.
    virtual wxString SystemAndDesktop() = 0;
    // A warning notification that stays until the user dismisses it or CloseNotice closes it,
    // attached to icon where the platform shows notifications as balloons of a tray icon. Where
    // notifications carry buttons, action (if any) is one; where they cannot, clicked runs when
    // the user clicks the notification. Both run on the GUI thread, never after CloseNotice.
    virtual void Notify(wxTaskBarIcon& icon, const wxString& title, const wxString& message,
                        std::optional<NoticeAction> action, std::function<void()> clicked) = 0;
    // Closes the warning of the last Notify, if it is still shown.
    virtual void CloseNotice() = 0;
    // An information notification of that kind that closes by itself after the desktop's usual
    // time. replaceLast: it updates the last of its kind, which the desktop shows in the same
    // place, rather than coming as a new one. It never takes the place of another kind's.
    virtual void NotifyBriefly(wxTaskBarIcon& icon, BriefKind kind, const wxString& title,
                               const wxString& message, bool replaceLast) = 0;
};

// The desktop as the toolkit reaches it; lives until the process exits.
Desktop& DefaultDesktop();
