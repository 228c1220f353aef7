#include "tray/translations.h"

#include <wx/filename.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include "service/resources.h"

namespace {

bool IsOneStringFormat(const wxString& format) {
    int strings = 0;
    for (auto at = format.begin(); at != format.end(); ++at) {
        if (*at != '%') continue;
        if (++at == format.end()) return false;
        if (*at == 's')
            ++strings;
        else if (*at != '%')
            return false;  // %n, widths, positions: nothing but a plain "%s" is let through
    }
    return strings == 1;
}

}  // namespace

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

wxString TranslatedFormat(const char* english) {
    const wxString translated = wxGetTranslation(english);
    return IsOneStringFormat(translated) ? translated : wxString(english);
}
