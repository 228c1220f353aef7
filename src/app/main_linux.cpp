#include <iostream>

#include <wx/init.h>

#include "app/sentak_app.h"
#include "platform/linux/journal.h"
#include "platform/single_instance.h"

wxIMPLEMENT_APP_NO_MAIN(SentakApp);

int main(int argc, char** argv) {
    PrepareDiagnostics();
    // Before the toolkit starts: a second copy would show a second icon.
    const InstanceClaim claim;
    if (claim.AnotherRuns()) return 0;
    // Started at login, the program would log its three trace lines every 2 s for good; a
    // stream in a failed state writes nothing.
    if (StandardOutputIsJournal()) std::wcout.setstate(std::ios::badbit);
    return wxEntry(argc, argv);
}
