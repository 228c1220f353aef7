// The user's language, taken from LANG alone (a region falls back to its language), through the
// catalogues the build compiles. On Windows the language is the account's: this test runs once
// more in an Austrian German Wine session.
#include <wx/filefn.h>
#include <wx/menu.h>
#include <wx/translation.h>

#include <clocale>

#include "support.h"
#include "tray/translations.h"

TEST(Translations, UserLanguageFromLangAlone) {
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    {
        const ScopedEnv language("LANGUAGE", nullptr), all("LC_ALL", nullptr),
            messages("LC_MESSAGES", nullptr), lang("LANG", "de_AT.UTF-8"),
            missing("QUENTHAL_PIPE", PrivatePipePath().c_str());
        const wxString cwd = wxGetCwd();
        wxSetWorkingDirectory(SENTAK_BIN_DIR);  // catalogues below languages/ of the working dir
        InstallTranslations();
        wxSetWorkingDirectory(cwd);

        FakeDesktop desktop;
        desktop.shift = true;
        RecordingSentak tray(desktop);
        const std::unique_ptr<wxMenu> menu(tray.CreatePopupMenu());
        EXPECT_EQ(menu->FindItemByPosition(1)->GetItemLabel(),
                  wxString::FromUTF8("Dienst Vantora 3 läuft NICHT"));
        EXPECT_EQ(menu->FindItemByPosition(9)->GetItemLabel(),
                  wxString::FromUTF8("Web-&Einstellungen öffnen"));
    }
    wxTranslations::Set(nullptr);  // English again for whatever runs next
    std::setlocale(LC_ALL, locale.c_str());
}
