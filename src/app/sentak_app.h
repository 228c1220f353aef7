#pragma once

#include <wx/app.h>

class SentakApp : public wxApp {
public:
    // Creates the hidden main dialog, which builds everything else. Deliberately does not call
    // wxApp::OnInit: the program takes no command-line options, not even --help.
    bool OnInit() override;
};

// Release behaviour for the toolkit's diagnostics: no assertion dialogs, nothing below Info.
void PrepareDiagnostics();
