#include "tray/translations.h"

#include <optional>

#include <wx/filename.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include "service/resources.h"

namespace {

// The format's conversions in order, as in "ds"; none when it has any but a plain "%s" or "%d"
// (%n, widths, positions) or ends in a lone '%'.
std::optional<wxString> Conversions(const wxString& format) {
    wxString conversions;
    for (auto at = format.begin(); at != format.end(); ++at) {
        if (*at != '%') continue;
        if (++at == format.end()) return std::nullopt;
        if (*at == 's' || *at == 'd')
            conversions << *at;
        else if (*at != '%')
            return std::nullopt;
    }
    return conversions;
}

wxString IfLike(const wxString& translated, const char* english) {
    const std::optional<wxString> theirs = Conversions(translated);
    return theirs && theirs == Conversions(english) ? translated : wxString(english);
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
    return IfLike(wxGetTranslation(english), english);
}

wxString TranslatedPlural(const char* singular, const char* plural, unsigned n) {
    return IfLike(wxGetTranslation(singular, plural, n), n == 1 ? singular : plural);
}
