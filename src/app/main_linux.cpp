#include <wx/init.h>

#include "app/sentak_app.h"

wxIMPLEMENT_APP_NO_MAIN(SentakApp);

int main(int argc, char** argv) {
    PrepareDiagnostics();
    return wxEntry(argc, argv);
}
