#include "tray/translations.h"

#include <optional>

#include <wx/dir.h>
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

// Catalogues from one folder alone, as <lang>/<domain>.mo. The toolkit's own loader searches
// every folder any code has added, process-wide, and more outside the installation; a catalogue
// there may be anyone's, and one whose Plural-Forms nests deep enough overflows the stack of the
// toolkit's parser.
class CataloguesIn : public wxTranslationsLoader {
public:
    explicit CataloguesIn(const wxString& dir) : m_dir(dir) {}

    wxMsgCatalog* LoadCatalog(const wxString& domain, const wxString& lang) override {
        const wxString path = File(domain, lang);
        return path.empty() ? nullptr : wxMsgCatalog::CreateFromFile(path, domain);
    }

    wxArrayString GetAvailableTranslations(const wxString& domain) const override {
        wxArrayString languages;
        if (!wxDir::Exists(m_dir)) return languages;  // wxDir would log an error
        const wxDir dir(m_dir);
        wxString lang;
        for (bool more = dir.GetFirst(&lang, wxEmptyString, wxDIR_DIRS); more;
             more = dir.GetNext(&lang))
            if (!File(domain, lang).empty()) languages.push_back(lang);
        return languages;
    }

private:
    wxString File(const wxString& domain, const wxString& lang) const {
        wxFileName file(m_dir, domain, "mo");
        file.AppendDir(lang);
        return file.FileExists() ? file.GetFullPath() : wxString();
    }

    wxString m_dir;
};

}  // namespace

void InstallTranslations() {
    // Not the working directory: a program started at login runs in the user's home folder.
    wxFileName installed(ResourcesBaseDir(), wxEmptyString);
    installed.AppendDir("languages");
    InstallTranslationsFrom(installed.GetPath());
}

void InstallTranslationsFrom(const wxString& dir) {
    auto* translations = new wxTranslations;
    wxTranslations::Set(translations);  // the toolkit owns it from here on
    translations->SetLoader(new CataloguesIn(dir));
    wxUILocale::UseDefault();
    translations->AddCatalog("wxstd", wxLANGUAGE_ENGLISH_US);
    translations->AddCatalog("main", wxLANGUAGE_ENGLISH_US);
}

wxString TranslatedFormat(const char* english) {
    return IfLike(wxGetTranslation(english), english);
}

wxString TranslatedPlural(const char* singular, const char* plural, unsigned n) {
    return IfLike(wxGetTranslation(singular, plural, n), n == 1 ? singular : plural);
}
