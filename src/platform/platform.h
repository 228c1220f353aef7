#pragma once

// The few things that differ per operating system; one implementation file per OS.

#include <functional>

#include <wx/bmpbndl.h>
#include <wx/string.h>

class wxTaskBarIcon;

// Lets the OS show the next desktop notification the way it prefers: on Windows as a toast,
// falling back to a balloon of icon. Elsewhere the toolkit's own notifications need nothing.
void PrepareNotifications(wxTaskBarIcon& icon);

// The first icon of the .ico file at path, for the tray; not IsOk() when it cannot be read. What
// the toolkit logs on the way is the caller's to silence.
wxBitmapBundle LoadIconFile(const wxString& path);

// The extended menu's entry for this system's service manager, translated.
wxString ManageServicesLabel();

// What the user is told to run by hand when the service manager does not start.
wxString ServiceManagerCommand();

// Opens the service manager; false when nothing was started.
bool StartServiceManager();

// Starts the default browser on url in a new window, without waiting for it. failed runs on the
// GUI thread when the browser does not start, which may be known only later.
void StartBrowser(const wxString& url, std::function<void()> failed);

// Whether the Shift key can be seen while the menu opens: not in a Wayland session.
bool ShiftKeyReadable();
