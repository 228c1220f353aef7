#pragma once

// The few things that differ per operating system; one implementation file per OS.

#include <wx/bmpbndl.h>

class wxTaskBarIcon;
class wxString;

// Lets the OS show the next desktop notification the way it prefers: on Windows as a toast,
// falling back to a balloon of icon. Elsewhere the toolkit's own notifications need nothing.
void PrepareNotifications(wxTaskBarIcon& icon);

// The first icon of the .ico file at path, for the tray; not IsOk() when it cannot be read. What
// the toolkit logs on the way is the caller's to silence.
wxBitmapBundle LoadIconFile(const wxString& path);

// Opens document with the application registered for it; false when nothing was started.
bool OpenDocument(const wxString& document);
