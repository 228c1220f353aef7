#include "tray/translations.h"

#include <wx/filename.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include "service/resources.h"

void InstallTranslations() {
    auto* translations = new wxTranslations;
    wxTranslations::Set(translations);  // the toolkit owns it from here on
    wxUILocale::UseDefault();
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix("languages");
    // A program started at login runs in the user's home folder, not beside its catalogues.
    wxFileName installed(ResourcesBaseDir(), wxEmptyString);
    installed.AppendDir("languages");
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(installed.GetPath());
    translations->AddCatalog("wxstd", wxLANGUAGE_ENGLISH_US);
    translations->AddCatalog("main", wxLANGUAGE_ENGLISH_US);
}
