// The user's language, taken from LANG alone, through the catalogues a test points Sentak at: the
// ones the build compiles (a region falls back to its language), and a broken one, which is not
// read from the working directory. On Windows the language is the account's: each test runs in a
// Wine session of its locale.
#include <wx/filefn.h>
#include <wx/translation.h>

#include <clocale>

#include "support.h"
#include "tray/translations.h"

namespace {

// The translations of lang as a login session has it, from the catalogues in dir, or without
// one from where Sentak is installed; English again after.
class UserLanguage {
public:
    UserLanguage(const char* lang, const char* dir)
        : m_locale(std::setlocale(LC_ALL, nullptr)),
          m_language("LANGUAGE", nullptr),
          m_all("LC_ALL", nullptr),
          m_messages("LC_MESSAGES", nullptr),
          m_lang("LANG", lang) {
        if (dir)
            InstallTranslationsFrom(dir);
        else
            InstallTranslations();
    }
    ~UserLanguage() {
        wxTranslations::Set(nullptr);
        std::setlocale(LC_ALL, m_locale.c_str());
    }

private:
    std::string m_locale;
    ScopedEnv m_language, m_all, m_messages, m_lang;
};

wxString Label(Sentak& tray, std::size_t position) {
    return std::unique_ptr<wxMenu>(tray.CreatePopupMenu())
        ->FindItemByPosition(position)
        ->GetItemLabel();
}

}  // namespace

TEST(Translations, UserLanguageFromLangAlone) {
    const UserLanguage austrian("de_AT.UTF-8", SENTAK_BIN_DIR "/languages");
    FakeDesktop desktop;
    desktop.shift = true;
    RecordingSentak tray(desktop);
    const ScopedEnv missing("QUENTHAL_PIPE", PrivatePipePath().c_str());
    EXPECT_EQ(Label(tray, 1), wxString::FromUTF8("Dienst Vantora 3 läuft NICHT"));
    EXPECT_EQ(Label(tray, 9), wxString::FromUTF8("Web-&Einstellungen öffnen"));
    EXPECT_EQ(TranslatedPlural("Restarted %d time since %s", "Restarted %d times since %s", 2),
              "%d-mal neu gestartet seit %s");
}

// broken_nl.po breaks every format but "Version: %s" in a way that would crash or garble a
// format: each shows in English. Below the working directory, it is not read at all.
TEST(Translations, BrokenCatalogueShowsEnglish) {
    {
        const wxString cwd = wxGetCwd();
        wxSetWorkingDirectory(SENTAK_TESTS_DIR "/working");
        const UserLanguage installed("nl_NL.UTF-8", nullptr);
        wxSetWorkingDirectory(cwd);
        EXPECT_EQ(TranslatedFormat("Version: %s"), "Version: %s");
    }
    const UserLanguage dutch("nl_NL.UTF-8", SENTAK_TESTS_DIR "/working/languages");
    EXPECT_EQ(TranslatedFormat("%s Service status unknown"), "%s Service status unknown");  // %n
    TestService service(ServeOptions{MakeRecord(u"7.1", 0, 0, 0, 7070, 0)});
    FakeDesktop desktop;
    RecordingSentak tray(desktop);
    tray.Ticks();
    EXPECT_EQ(Label(tray, 3), "Versie: 7.1 (100%)");
    EXPECT_EQ(Label(tray, 7), "Remote connection port: 7070");
    service.Stop();
    EXPECT_EQ(Label(tray, 0), "Vantora 3 Service NOT RUNNING");
    tray.Ticks(10);
    EXPECT_EQ(tray.Tooltips(), (std::vector<wxString>{"Vantora 3 Service running",
                                                      "Vantora 3 Service not running anymore"}));
    EXPECT_EQ(
        desktop.notifications,
        std::vector<wxString>{"Service not running|The Vantora 3 Service is not running anymore."});
}
