#pragma once

#include <memory>

#include <wx/bmpbndl.h>
#include <wx/taskbar.h>

#include "base/menu_model.h"

// One whole display of the tray icon.
struct TrayDisplay {
    // What it shows, for trays that draw the desktop theme's own icons.
    enum class Kind { Unknown, Running, Stopped };
    Kind kind = Kind::Unknown;
    wxBitmapBundle image;
    wxString tooltip;
    // The user has not yet looked at news that needs them: hosts that hide the icon show it then.
    bool attention = false;
};

// The tray icon as this system's desktop hosts it. On Windows the toolkit's own. On Linux a
// StatusNotifierItem on the session bus while a host of those runs, otherwise the toolkit's
// XEmbed icon (on an X11 display), following the host as it comes and goes; never both.
class TrayIcon : public wxTaskBarIcon {
public:
    TrayIcon();
    ~TrayIcon() override;

    // Shows display wherever the icon shows now or later; false when the toolkit's icon refused
    // it. Virtual, so that tests can record the displays instead.
    virtual bool Show(const TrayDisplay& display);
    // The menu as it is now: hosts that keep a copy between openings get it, and are told only
    // of what did change.
    void SetMenu(const MenuModel& menu);
    // The absolute folder where hosts that draw the desktop theme's icons by name find images of
    // those names when their theme lacks them (hicolor/<N>x<N>/status/<name>.png and <name>.png);
    // empty for none. Windows' notification area shows the display's image and needs none.
    void SetIconThemePath(const wxString& dir);
    // Whether a tray shows the icon now, which is where a user who cannot find Sentak is told to
    // look.
    bool ShownInTray() const;
    // What shows the icon now, as a support request names it: the protocol, and the program that
    // hosts it where the system tells.
    wxString ShownBy() const;

    // What the menu shows when it opens: the status refreshed, in the form the Shift key asks for.
    // The new menu is also handed down through SetMenu.
    virtual MenuModel OpenMenu() = 0;

protected:
    // Hands a display to the toolkit's own icon. A seam, so that tests can count what reaches it.
    virtual bool ShowInToolkit(const wxBitmapBundle& icon, const wxString& tooltip);
    // No tray could show the icon 10 s after the first display (a desktop without one, Linux
    // only); called once a run, while the icon still shows whenever a tray starts later.
    virtual void NoTrayShowsIcon() {}

private:
    class HostFollower;
    // Where the desktop's tray hosts need more than the toolkit's icon; none on Windows.
    std::unique_ptr<HostFollower> m_follower;
};
