#include "platform/platform.h"

// wxGTK sends notifications through libnotify to the desktop's notification daemon.
void PrepareNotifications(wxTaskBarIcon&) {}
