#include <gtest/gtest.h>
#include <wx/artprov.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>
#include <wx/timer.h>
#include <wx/translation.h>
#include <wx/weakref.h>

#include <wx/utils.h>

#include "app/sentak_app.h"
#include "main_loop.h"
#include "recording_sentak.h"
#include "tray/sentak_dialog.h"

namespace {

// The real dialog, its members opened up, with a recording tray icon in place of the real one.
class TestDialog : public SentakDialog {
public:
    explicit TestDialog(FakeDesktop& desktop, bool setIconSucceeds = true)
        : SentakDialog("wxTaskBarIcon Test Dialog", [&, setIconSucceeds] {
              auto icon = std::make_unique<RecordingSentak>(desktop);
              icon->setIconSucceeds = setIconSucceeds;
              return icon;
          }) {}
    RecordingSentak& Tray() { return static_cast<RecordingSentak&>(*m_trayIcon); }
    wxTimer& Timer() { return *m_pollTimer; }
};

bool SamePixels(const wxBitmap& a, const wxBitmap& b) {
    const wxImage x = a.ConvertToImage(), y = b.ConvertToImage();
    return x.GetSize() == y.GetSize() &&
           std::equal(x.GetData(), x.GetData() + 3 * x.GetWidth() * x.GetHeight(), y.GetData());
}

// Collects the records of our own code (the toolkit logs its own at debug level on some
// platforms) that reach the active log target while it lives.
class LogCapture : public wxLog {
public:
    struct Record {
        wxLogLevel level;
        wxString text, file, function;
    };
    LogCapture() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~LogCapture() override { wxLog::SetActiveTarget(m_previous); }
    std::vector<Record> records;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo& info) override {
        if (wxString(info.filename) == "sentak")
            records.push_back({level, text, info.filename, info.func});
    }

private:
    wxLog* m_previous;
};

}  // namespace

TEST(MainDialog, StartsHiddenWithTheUnknownDisplayAndAPollingTimer) {
    FakeDesktop desktop;
    auto dialog = std::make_unique<TestDialog>(desktop);

    EXPECT_FALSE(dialog->IsShown());
    ASSERT_EQ(dialog->Tray().displays.size(), 1u);
    const RecordingSentak::Display& first = dialog->Tray().displays[0];
    EXPECT_EQ(first.tooltip, "Vantora 3 Service status unknown");
    const wxBitmap question =
        wxArtProvider::GetBitmapBundle(wxART_QUESTION, wxART_OTHER, wxSize(32, 32))
            .GetBitmap(wxSize(32, 32));
    EXPECT_TRUE(SamePixels(first.image.GetBitmap(wxSize(32, 32)), question));

    // The tray polls on its own: every 2 s, repeating, events to the tray icon.
    EXPECT_TRUE(dialog->Timer().IsRunning());
    EXPECT_EQ(dialog->Timer().GetInterval(), 2000);
    EXPECT_FALSE(dialog->Timer().IsOneShot());
    EXPECT_EQ(dialog->Timer().GetOwner(), &dialog->Tray());
    // Start-up reads no status.
    EXPECT_FALSE(dialog->Tray().m_statusValid);
    EXPECT_EQ(dialog->Tray().m_failureCount, 0);
}

TEST(MainDialog, ARefusedIconIsOnlyADiscardedDebugRecord) {
    FakeDesktop desktop;
    LogCapture log;
    const wxLogLevel level = wxLog::GetLogLevel();

    wxLog::SetLogLevel(wxLOG_Debug);
    auto verbose = std::make_unique<TestDialog>(desktop, false);
    EXPECT_TRUE(verbose->Timer().IsRunning());
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].level, wxLOG_Debug);
    EXPECT_EQ(log.records[0].text, "Could not set icon.");
    EXPECT_EQ(log.records[0].file, "sentak");
    EXPECT_EQ(log.records[0].function, "SentakDialog::SentakDialog");

    const wxAssertHandler_t asserts = wxSetAssertHandler(nullptr);
    PrepareDiagnostics();  // the program's own level
    auto quiet = std::make_unique<TestDialog>(desktop, false);
    wxLog::SetLogLevel(level);
    wxSetAssertHandler(asserts);
    EXPECT_TRUE(quiet->Timer().IsRunning());
    EXPECT_EQ(log.records.size(), 1u);
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(MainDialog, DoubleClickOnTheIconNeverShowsTheDialog) {
    FakeDesktop desktop;
    auto dialog = std::make_unique<TestDialog>(desktop);
    g_mainDialog = dialog.get();
    dialog->Show(true);
    wxTaskBarIconEvent click(wxEVT_TASKBAR_LEFT_DCLICK, &dialog->Tray());
    dialog->Tray().ProcessEvent(click);
    EXPECT_FALSE(dialog->IsShown());
    g_mainDialog = nullptr;
}

TEST(MainDialog, ClosingDestroysDialogTrayIconAndTimerAndEndsTheEventLoop) {
    FakeDesktop desktop;
    auto* dialog = new TestDialog(desktop);
    wxWeakRef<wxDialog> dialogRef(dialog);
    wxWeakRef<Sentak> trayRef(&dialog->Tray());
    wxWeakRef<wxTimer> timerRef(&dialog->Timer());

    wxTheApp->SetExitOnFrameDelete(true);  // the last window's end ends the loop, as in the program
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(10), [dialog] { dialog->Close(true); }))
        << "the event loop did not end when the dialog closed";
    EXPECT_FALSE(dialogRef);
    EXPECT_FALSE(trayRef);
    EXPECT_FALSE(timerRef);
}

TEST(MainDialog, FindsItsCataloguesBesideResourcesFromAnyWorkingDirectory) {
#ifdef __WINDOWS__
    GTEST_SKIP() << "Windows takes the user's language from the account, not from LANGUAGE";
#endif
    // An installation's layout beside the test executable; the working directory is elsewhere.
    const wxString base = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
    const bool hadResources = wxFileName::DirExists(base + "/Resources");
    wxFileName::Mkdir(base + "/Resources", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    wxFileName::Mkdir(base + "/languages/de", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    ASSERT_TRUE(wxCopyFile(SENTAK_GERMAN_CATALOGUE, base + "/languages/de/main.mo"));
    const wxString cwd = wxGetCwd();
    wxSetWorkingDirectory(wxFileName::GetTempDir());
    wxSetEnv("LANGUAGE", "de");

    FakeDesktop desktop;
    auto dialog = std::make_unique<TestDialog>(desktop);
    const wxString tooltip = dialog->Tray().displays.at(0).tooltip;

    wxUnsetEnv("LANGUAGE");
    wxTranslations::Set(nullptr);  // the other tests expect English
    wxSetWorkingDirectory(cwd);
    wxFileName::Rmdir(base + "/languages", wxPATH_RMDIR_RECURSIVE);
    if (!hadResources) wxFileName::Rmdir(base + "/Resources", wxPATH_RMDIR_RECURSIVE);

    EXPECT_EQ(tooltip, "Status des Dienstes Vantora 3 unbekannt");
}
