#include "platform/tray_icon.h"

// Windows' notification area is the toolkit's own business.
class TrayIcon::Carrier {};

TrayIcon::TrayIcon() = default;

TrayIcon::~TrayIcon() = default;

namespace {
// What the shell keeps of a tooltip.
constexpr size_t kTooltipLength = 127;
}  // namespace

// Every time, even unchanged: the shell may have lost the icon (Explorer restarted, say).
bool TrayIcon::SetIcon(const wxBitmapBundle& icon, const wxString& tooltip) {
    return ShowInToolkit(icon, tooltip.Left(kTooltipLength));
}

// The notification area shows the image it is given, and nothing else.
void TrayIcon::SetDisplayKind(TrayDisplay) {}

// The menu is built when it opens; nothing keeps a copy of it.
void TrayIcon::MenuMayHaveChanged() {}

bool TrayIcon::ShowInToolkit(const wxBitmapBundle& icon, const wxString& tooltip) {
    return wxTaskBarIcon::SetIcon(icon, tooltip);
}
