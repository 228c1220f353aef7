#include "app/sentak_app.h"

#include <wx/log.h>

#include "base/main_window.h"
#include "platform/single_instance.h"
#include "tray/sentak_dialog.h"

bool SentakApp::OnInit() {
    // Not the name it was started by: an installed program finds its share folder by this name,
    // also when a launcher starts it through a link of another name.
    SetAppName("sentak");
    g_mainDialog = new SentakDialog(kMainWindowTitle);
    return true;
}

void PrepareDiagnostics() {
    wxSetAssertHandler(nullptr);
    wxLog::SetLogLevel(wxLOG_Info);
}
