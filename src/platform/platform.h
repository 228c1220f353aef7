#pragma once

// The few things that differ per operating system; one implementation file per OS.

#include <wx/bmpbndl.h>

class wxTaskBarIcon;
class wxString;

// A warning notification that stays until the user dismisses it: on Windows as a toast, falling
// back to a balloon of icon; elsewhere through the desktop's notification service.
void ShowNotification(wxTaskBarIcon& icon, const wxString& title, const wxString& message);

// message as this system's notifications must be given it to show it as written: Linux
// notification services render markup in the body, so & < > are escaped there.
wxString NotificationBody(const wxString& message);

// The first icon of the .ico file at path, for the tray; not IsOk() when it cannot be read. What
// the toolkit logs on the way is the caller's to silence.
wxBitmapBundle LoadIconFile(const wxString& path);

// Opens document with the application registered for it; false when nothing was started.
bool OpenDocument(const wxString& document);
