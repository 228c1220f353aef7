#include "platform/tray_icon.h"

// Windows' notification area is the toolkit's own business.
class TrayIcon::Host {};

TrayIcon::TrayIcon() = default;

TrayIcon::~TrayIcon() = default;

bool TrayIcon::SetIcon(const wxBitmapBundle& icon, const wxString& tooltip) {
    return wxTaskBarIcon::SetIcon(icon, tooltip);
}
