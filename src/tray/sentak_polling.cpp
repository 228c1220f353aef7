#include "tray/sentak.h"

void Sentak::OnTimer(wxTimerEvent&) { RefreshStatus(); }
