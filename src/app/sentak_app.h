#pragma once

#include <wx/app.h>

class SentakDialog;

// The one main dialog; set once at start-up, never cleared.
extern SentakDialog* g_mainDialog;

class SentakApp : public wxApp {
public:
    // Creates the hidden main dialog, which builds everything else. Deliberately does not call
    // wxApp::OnInit: the program takes no command-line options, not even --help.
    bool OnInit() override;
};

// Release behaviour for the toolkit's diagnostics: no assertion dialogs, nothing below Info.
void PrepareDiagnostics();
