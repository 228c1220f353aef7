#pragma once

// How this system's desktop shows notifications, starts the browser and tells where the icon is;
// the tray reaches them only through its desktop seam. One implementation file per OS.

#include <functional>

#include <wx/string.h>

class wxNotificationMessage;
class wxTaskBarIcon;

// Makes the desktop notifications come from icon where the toolkit shows them as its balloons
// (Windows 10 and 11 show a balloon as a toast). Elsewhere the toolkit's own notifications need
// nothing.
void PrepareNotifications(wxTaskBarIcon& icon);

// message as this system's notifications must be given it to show it as written: Linux
// notification services render markup in the body, so & < > are escaped there.
wxString NotificationBody(const wxString& message);

// Whether this system's notifications carry buttons. Windows' balloons do not: there a click on
// the notification itself is what the user has.
bool NotificationsHaveButtons();

// Sets up the one object that shows brief notices, once, so that every desktop shows them as a
// banner rather than only in its message list, with the information image where that is free.
void PrepareBriefNotices(wxNotificationMessage& notice);

// Starts the default browser on url in a new window, without waiting for it. failed runs on the
// GUI thread when the browser does not start, which may be known only later, after its caller
// has gone: it may hold only what lives until the process exits.
void StartBrowser(const wxString& url, std::function<void()> failed);

// Where this system shows the tray icon, translated: told to a user who started Sentak again.
wxString WhereTheIconIs();

// What a user whose desktop has no tray to show the icon in can do about it, translated.
wxString NoTrayAdvice();

// What would let the user read the service's log, where the system refused it, translated.
wxString LogAccessAdvice();

// The desktop and its kind of session, where the system tells (XFCE, x11); empty where not.
wxString DesktopName();

// Whether the Shift key can be seen while the menu opens: not in a Wayland session.
bool ShiftKeyReadable();
