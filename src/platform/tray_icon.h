#pragma once

#include <memory>

#include <wx/taskbar.h>

#include "base/menu_model.h"

// What a display of the tray icon shows, for trays that draw the desktop theme's own icons.
enum class TrayDisplay { Unknown, Running, Stopped };

// The tray icon as this system's desktop hosts it. On Windows the toolkit's own. On Linux a
// StatusNotifierItem on the session bus while a host of those runs, otherwise the toolkit's
// XEmbed icon (on an X11 display), following the host as it comes and goes; never both.
class TrayIcon : public wxTaskBarIcon {
public:
    TrayIcon();
    ~TrayIcon() override;

    bool SetIcon(const wxBitmapBundle& icon, const wxString& tooltip = wxString()) override;
    // What the displays from the next SetIcon on show.
    void SetDisplayKind(TrayDisplay kind);

    // What the menu shows when it opens: the status refreshed, in the form the Shift key asks for.
    virtual MenuModel OpenMenu() = 0;
    // What the menu shows from the status as the last refresh left it, in the form of the last
    // opening, without a refresh of its own: for hosts that keep a copy of the menu between
    // openings.
    virtual MenuModel QuietMenu() = 0;

    // What the menu shows may have changed (a refresh, a command started or ended): hosts that
    // keep a copy of the menu get the new one, and are told only of what did change.
    void MenuMayHaveChanged();

protected:
    // Hands a display to the toolkit's own icon. A seam, so that tests can count what reaches it.
    virtual bool ShowInToolkit(const wxBitmapBundle& icon, const wxString& tooltip);
    // No tray could show the icon 10 s after the first display (a desktop without one, Linux
    // only); called once a run, while the icon still shows whenever a tray starts later.
    virtual void NoTrayShowsIcon() {}

private:
    class Carrier;
    std::unique_ptr<Carrier>
        m_carrier;  // what serves the desktop beyond the toolkit; none on Windows
};
