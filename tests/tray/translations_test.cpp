// The program's own catalogues, as the build compiles them, chosen by the user's language: the
// first tooltip, the polling displays, the stop notification, the menu and the failure boxes are
// translated; a language without a catalogue keeps the English texts.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include <wx/menu.h>
#include <wx/translation.h>
#include <wx/uilocale.h>
#include <wx/utils.h>

#include "recording_sentak.h"
#include "test_service.h"
#include "tray/sentak_dialog.h"

namespace {

// What a user of one language meets, with the default product name.
struct Expected {
    const char* language;  // as the user sets LANGUAGE
    const char* unknown;   // the three tooltips
    const char* running;
    const char* stopped;
    const char* title;  // the stop notification
    const char* message;
    std::vector<const char*> menu;  // the extended menu below its time entry, service running
    const char* notRunning;         // the menu's header and version entry, service down
    const char* noVersion;
    const char* servicesBox;  // the service manager's failure box: caption, then message
    const char* servicesMessage;
};

void PrintTo(const Expected& expected, std::ostream* out) { *out << expected.language; }

// The service manager is the system's own: its menu entry and the command its box names.
constexpr const char* Os(const char* windows, const char* onLinux) {
#ifdef _WIN32
    (void)onLinux;
    return windows;
#else
    (void)windows;
    return onLinux;
#endif
}

const Expected kEnglish{
    "sv",
    "Vantora 3 Service status unknown",
    "Vantora 3 Service running",
    "Vantora 3 Service not running anymore",
    "Service not running",
    "The Vantora 3 Service is not running anymore.",
    {"Vantora 3", "", "Version: 7.2", "HTTP port: 8080", "HTTPS port: ???", "RTSP port: 554",
     "Remote connection port: 7070", "", "Open web &settings",
     Os("&Manage Windows services", "&Manage services"), "", "E&xit tray application"},
    "Vantora 3 Service NOT RUNNING",
    "Version: ???",
    "Failed to launch service management",
    Os("Launching service management failed.\n\nTry manually running the command:\n\nservices.msc",
       "Launching service management failed.\n\nTry manually running the command:\n\n"
       "systemctl status quenthal.service"),
};

const Expected kGerman{
    "de",
    "Status des Dienstes Vantora 3 unbekannt",
    "Dienst Vantora 3 läuft",
    "Dienst Vantora 3 läuft nicht mehr",
    "Dienst läuft nicht",
    "Der Dienst Vantora 3 läuft nicht mehr.",
    {"Vantora 3", "", "Version: 7.2", "HTTP-Port: 8080", "HTTPS-Port: ???", "RTSP-Port: 554",
     "Port für Fernverbindungen: 7070", "", "Web-&Einstellungen öffnen",
     Os("Windows-&Dienste verwalten", "&Dienste verwalten"), "",
     "Anwendung im Infobereich &beenden"},
    "Dienst Vantora 3 läuft NICHT",
    "Version: ???",
    "Dienstverwaltung konnte nicht gestartet werden",
    Os("Die Dienstverwaltung konnte nicht gestartet werden.\n\n"
       "Versuchen Sie, diesen Befehl selbst auszuführen:\n\nservices.msc",
       "Die Dienstverwaltung konnte nicht gestartet werden.\n\n"
       "Versuchen Sie, diesen Befehl selbst auszuführen:\n\nsystemctl status quenthal.service"),
};

// French sets a no-break space before a colon.
const Expected kFrench{
    "fr",
    "État du service Vantora 3 inconnu",
    "Service Vantora 3 en cours d'exécution",
    "Le service Vantora 3 ne fonctionne plus",
    "Service arrêté",
    "Le service Vantora 3 ne fonctionne plus.",
    {"Vantora 3", "", "Version\u00a0: 7.2", "Port HTTP: 8080", "Port HTTPS: ???", "Port RTSP: 554",
     "Port de connexion à distance\u00a0: 7070", "", "Ouvrir les &paramètres web",
     Os("&Gérer les services Windows", "&Gérer les services"), "",
     "&Quitter l'application de la zone de notification"},
    "Service Vantora 3 ARRÊTÉ",
    "Version\u00a0: ???",
    "Impossible de lancer la gestion des services",
    Os("Le lancement de la gestion des services a échoué.\n\n"
       "Essayez d'exécuter vous-même la commande\u00a0:\n\nservices.msc",
       "Le lancement de la gestion des services a échoué.\n\n"
       "Essayez d'exécuter vous-même la commande\u00a0:\n\nsystemctl status quenthal.service"),
};

// A regional variant finds the language's catalogue.
Expected AustrianGerman() {
    Expected expected = kGerman;
    expected.language = "de_AT";
    return expected;
}

// The real dialog with a recording tray icon, as the program builds it at start-up.
class TestDialog : public SentakDialog {
public:
    explicit TestDialog(FakeDesktop& desktop)
        : SentakDialog("wxTaskBarIcon Test Dialog",
                       [&] { return std::make_unique<RecordingSentak>(desktop); }) {}
    RecordingSentak& Tray() { return static_cast<RecordingSentak&>(*m_trayIcon); }
};

#ifdef __WINDOWS__
// Linux takes the user's language from LANGUAGE, which each test sets. Windows takes it from the
// account, which a test cannot change: there each language runs in a process started in it, and
// the others are skipped. The account's language is what the toolkit chooses by: the first of
// its display languages, or its locale where there are none (Wine).
wxString AccountLanguage() {
    const wxVector<wxString> preferred = wxUILocale::GetPreferredUILanguages();
    wxString language = preferred.empty()
                            ? wxUILocale::GetLanguageCanonicalName(wxUILocale::GetSystemLanguage())
                            : preferred[0];
    language.Replace("-", "_");
    return language;
}
#endif

std::vector<wxString> Labels(const wxMenu& menu) {
    std::vector<wxString> labels;
    for (const wxMenuItem* item : menu.GetMenuItems())
        labels.push_back(item->IsSeparator() ? wxString() : item->GetItemLabel());
    return labels;
}

class Translations : public testing::TestWithParam<Expected> {
protected:
    // The user's language, and the built catalogues below languages/ in the working directory;
    // all undone afterwards, so that the other tests stay English.
    Translations() : m_console(std::wcout.rdbuf(m_trace.rdbuf())), m_cwd(wxGetCwd()) {
        wxSetWorkingDirectory(SENTAK_BIN_DIR);
        wxSetEnv("LANGUAGE", GetParam().language);
    }
    ~Translations() override {
        wxTranslations::Set(nullptr);
        wxUnsetEnv("LANGUAGE");
        wxSetWorkingDirectory(m_cwd);
        std::wcout.rdbuf(m_console);
    }

    void Tick() {
        wxTimer timer;
        wxTimerEvent event(timer);
        dialog->Tray().OnTimer(event);
    }

    std::wostringstream m_trace;
    std::wstreambuf* m_console;
    wxString m_cwd;
    FakeDesktop desktop;
    std::unique_ptr<TestDialog> dialog;
};

TEST_P(Translations, EveryTextTheUserMeetsIsInTheirLanguage) {
    const Expected& expected = GetParam();
#ifdef __WINDOWS__
    const wxString account = AccountLanguage(), language = expected.language;
    if (account != language && !account.StartsWith(language + "_"))
        GTEST_SKIP() << "Windows takes the user's language from the account, which has " << account;
#endif
    ServeOptions running;
    running.record = MakeRecord(u"7.2", 8080, 0, 554, 7070, 1700000000);
    TestService service(running);
    dialog = std::make_unique<TestDialog>(desktop);
    RecordingSentak& tray = dialog->Tray();
    EXPECT_EQ(tray.displays.at(0).tooltip, wxString::FromUTF8(expected.unknown));

    Tick();
    EXPECT_EQ(tray.displays.back().tooltip, wxString::FromUTF8(expected.running));
    desktop.shiftDown = true;
    std::unique_ptr<wxMenu> menu(tray.CreatePopupMenu());
    std::vector<wxString> labels = Labels(*menu);
    ASSERT_FALSE(labels.empty());
    labels.erase(labels.begin());  // the time entry's format is never translated
    std::vector<wxString> menuTexts;
    for (const char* text : expected.menu) menuTexts.push_back(wxString::FromUTF8(text));
    EXPECT_EQ(labels, menuTexts);

    service.Stop();
    for (int tick = 0; tick < 10; ++tick) Tick();
    EXPECT_EQ(tray.displays.back().tooltip, wxString::FromUTF8(expected.stopped));
    ASSERT_EQ(desktop.notifications.size(), 1u);
    EXPECT_EQ(desktop.notifications[0].title, wxString::FromUTF8(expected.title));
    EXPECT_EQ(desktop.notifications[0].message, wxString::FromUTF8(expected.message));

    desktop.shiftDown = false;
    menu.reset(tray.CreatePopupMenu());
    labels = Labels(*menu);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(labels[0], wxString::FromUTF8(expected.notRunning));
    EXPECT_EQ(labels[2], wxString::FromUTF8(expected.noVersion));

    desktop.serviceManagerStarts = false;
    wxCommandEvent choose(wxEVT_MENU, ID_MANAGE_SERVICES);
    tray.OnManageServices(choose);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].caption, wxString::FromUTF8(expected.servicesBox));
    EXPECT_EQ(desktop.messages[0].text, wxString::FromUTF8(expected.servicesMessage));
}

INSTANTIATE_TEST_SUITE_P(UserLanguages, Translations,
                         testing::Values(kGerman, kFrench, AustrianGerman(), kEnglish),
                         [](const testing::TestParamInfo<Expected>& info) {
                             return std::string(info.param.language);
                         });

}  // namespace
