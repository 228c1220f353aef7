#include "app/sentak_app.h"
#include "tray/sentak.h"
#include "tray/sentak_dialog.h"

void Sentak::OnOpenWebSettings(wxCommandEvent&) {}

void Sentak::OnExitTray(wxCommandEvent&) { g_mainDialog->Close(true); }

void Sentak::OnManageServices(wxCommandEvent&) {}
