// What Linux desktops get from the program's own code: the tray's pixels and labels as
// StatusNotifierItem hosts read them, and the commands started with stand-ins on PATH.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include "main_loop.h"
#include "platform/dbus_menu_linux.h"
#include "platform/journal_linux.h"
#include "platform/platform.h"
#include "platform/status_notifier_linux.h"

namespace {

TEST(TrayEncoding, PixelsAreAlphaRedGreenBlueWithOpaqueAlphaWhereTheImageHasNone) {
    wxImage image(2, 1);
    image.SetRGB(1, 0, 10, 20, 30);
    EXPECT_EQ(ArgbPixels(image), (std::vector<std::uint8_t>{255, 0, 0, 0, 255, 10, 20, 30}));
    image.SetAlpha();
    image.SetAlpha(1, 0, 128);
    EXPECT_EQ(ArgbPixels(image)[4], 128);
}

TEST(TrayEncoding, MnemonicsBecomeUnderscoresAndLiteralUnderscoresDouble) {
    EXPECT_EQ(DbusMenuLabel("Open web &settings"), "Open web _settings");
    EXPECT_EQ(DbusMenuLabel("Tom && Jerry_2 100%"), "Tom & Jerry__2 100%");
    EXPECT_EQ(DbusMenuLabel("E&xit\tCtrl+Q"), "E_xit");
}

// PATH holding only the given stand-in scripts, for the life of the object.
class StandInPath {
public:
    explicit StandInPath(std::initializer_list<std::pair<const char*, const char*>> scripts)
        : m_dir(wxFileName::CreateTempFileName("sentak-path")), m_path(wxGetenv("PATH")) {
        wxRemoveFile(m_dir);
        wxMkdir(m_dir);
        for (const auto& [name, body] : scripts) {
            wxFile(m_dir + "/" + name, wxFile::write).Write("#!/bin/sh\n" + wxString(body));
            chmod((m_dir + "/" + name).c_str(), 0755);
        }
        wxSetEnv("PATH", m_dir);
    }
    ~StandInPath() {
        wxSetEnv("PATH", m_path);
        wxFileName::Rmdir(m_dir, wxPATH_RMDIR_RECURSIVE);
    }
    const wxString m_dir, m_path;
};

TEST(LinuxCommands, ServiceStatusOpensInTheFirstTerminalThatStartsAndNoneIsAFailure) {
    {
        StandInPath path({{"gnome-terminal", "echo \"$@\" >\"$0.ran\""}, {"xterm", "exit 0"}});
        ASSERT_TRUE(StartServiceManager());
        bool ran = false;
        for (int i = 0; i < 100 && !ran; ++i, wxMilliSleep(100))
            ran = wxFileExists(path.m_dir + "/gnome-terminal.ran");
        ASSERT_TRUE(ran) << "gnome-terminal, the first on PATH, was not started";
        wxString arguments;
        wxFile(path.m_dir + "/gnome-terminal.ran").ReadAll(&arguments);
        EXPECT_TRUE(arguments.StartsWith("-- sh -c systemctl --no-pager status quenthal.service;"));
        EXPECT_TRUE(arguments.Contains("read")) << "the terminal closes before it can be read";
    }
    StandInPath none({});
    EXPECT_FALSE(StartServiceManager());
}

TEST(LinuxCommands, ALauncherThatFailsOrIsMissingIsAFailedBrowserStart) {
    StandInPath path({{"xdg-open", "exit 4"}});
    bool failed = false;
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(20), [&] {
        StartBrowser("http://localhost:8080/", [&] { failed = true, wxTheApp->ExitMainLoop(); });
    }));
    EXPECT_TRUE(failed);
    wxRemoveFile(path.m_dir + "/xdg-open");
    failed = false;
    StartBrowser("http://localhost:8080/", [&] { failed = true; });
    EXPECT_TRUE(failed);
}

TEST(LinuxCommands, TheJournalIsTheStandardOutputOnlyWhenItsDeviceAndInodeMatch) {
    const wxString file = wxFileName::CreateTempFileName("sentak-journal");
    struct stat journal {};
    stat(file.c_str(), &journal);
    const int out = dup(1), stream = open(file.c_str(), O_WRONLY);
    const wxString named = wxString::Format("%llu:%llu", (unsigned long long)journal.st_dev,
                                            (unsigned long long)journal.st_ino);
    wxSetEnv("JOURNAL_STREAM", named);
    const bool before = StandardOutputIsJournal();  // the journal names another stream
    dup2(stream, 1);
    const bool journalOut = StandardOutputIsJournal();
    wxSetEnv("JOURNAL_STREAM", named + "x");
    const bool garbled = StandardOutputIsJournal();
    dup2(out, 1);
    close(out), close(stream), wxUnsetEnv("JOURNAL_STREAM"), wxRemoveFile(file);
    EXPECT_FALSE(before);
    EXPECT_TRUE(journalOut);
    EXPECT_FALSE(garbled);
}

}  // namespace
