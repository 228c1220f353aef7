#include <iostream>

#include <wx/init.h>

#include "app/sentak_app.h"
#include "platform/journal_linux.h"

wxIMPLEMENT_APP_NO_MAIN(SentakApp);

int main(int argc, char** argv) {
    PrepareDiagnostics();
    // Started at login, the program would log its three trace lines every 2 s for good; a
    // stream in a failed state writes nothing.
    if (StandardOutputIsJournal()) std::wcout.setstate(std::ios::badbit);
    return wxEntry(argc, argv);
}
