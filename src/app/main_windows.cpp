#include <wx/init.h>
#include <wx/msw/wrapwin.h>

#include "app/sentak_app.h"

wxIMPLEMENT_APP_NO_MAIN(SentakApp);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    PrepareDiagnostics();
    return wxEntry(instance, previous, commandLine, showCommand);
}
