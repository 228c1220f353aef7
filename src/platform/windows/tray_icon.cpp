#include "platform/tray_icon.h"

// Windows' notification area is the toolkit's own business.
class TrayIcon::HostFollower {};

TrayIcon::TrayIcon() = default;

TrayIcon::~TrayIcon() = default;

namespace {
// What the shell keeps of a tooltip.
constexpr size_t kTooltipLength = 127;
}  // namespace

// Every time, even unchanged: the shell may have lost the icon (Explorer restarted, say). The
// notification area shows the image it is given, whatever the kind.
bool TrayIcon::Show(const TrayDisplay& display) {
    return ShowInToolkit(display.image, display.tooltip.Left(kTooltipLength));
}

// The menu is built when it opens; nothing keeps a copy of it.
void TrayIcon::SetMenu(const MenuModel&) {}

void TrayIcon::SetIconThemePath(const wxString&) {}

// The taskbar's notification area is always there, if at times in its overflow.
bool TrayIcon::ShownInTray() const { return true; }

wxString TrayIcon::ShownBy() const { return "Windows notification area"; }

bool TrayIcon::ShowInToolkit(const wxBitmapBundle& icon, const wxString& tooltip) {
    return wxTaskBarIcon::SetIcon(icon, tooltip);
}
