#include <wx/init.h>
#include <wx/msw/wrapwin.h>

#include "app/sentak_app.h"
#include "platform/single_instance.h"

wxIMPLEMENT_APP_NO_MAIN(SentakApp);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    PrepareDiagnostics();
    // Before the toolkit starts: a second copy would show a second icon.
    const InstanceClaim claim;
    if (claim.AnotherRuns()) return 0;
    return wxEntry(instance, previous, commandLine, showCommand);
}
