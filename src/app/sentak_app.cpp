#include "app/sentak_app.h"

#include <wx/log.h>

#include "tray/sentak_dialog.h"

SentakDialog* g_mainDialog = nullptr;

bool SentakApp::OnInit() {
    g_mainDialog = new SentakDialog("wxTaskBarIcon Test Dialog");
    return true;
}

void PrepareDiagnostics() {
    wxSetAssertHandler(nullptr);
    wxLog::SetLogLevel(wxLOG_Info);
}
