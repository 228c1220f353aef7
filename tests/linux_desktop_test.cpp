// What Linux desktops get from the program's own code: the tray's pixels and labels as
// StatusNotifierItem hosts read them, and the commands started with stand-ins on PATH.
#include <sys/stat.h>

#include <wx/ffile.h>
#include <wx/filename.h>

#include "platform/platform.h"
#include "platform/status_notifier_linux.h"
#include "support.h"

namespace {

// Pixels as A, R, G, B with alpha 255 where the image has none; the toolkit's mnemonics as
// dbusmenu's.
TEST(TrayEncoding, PixelsAndLabelsAreWhatHostsRead) {
    wxImage image(2, 1);
    image.SetRGB(1, 0, 10, 20, 30);
    EXPECT_EQ(ArgbPixels(image), (std::vector<std::uint8_t>{255, 0, 0, 0, 255, 10, 20, 30}));
    image.SetAlpha();
    image.SetAlpha(1, 0, 128);
    EXPECT_EQ(ArgbPixels(image)[4], 128);
    EXPECT_EQ(DbusMenuLabel("Open web &settings"), "Open web _settings");
    EXPECT_EQ(DbusMenuLabel("Tom && Jerry_2 100%"), "Tom & Jerry__2 100%");
    EXPECT_EQ(DbusMenuLabel("E&xit\tCtrl+Q"), "E_xit");
}

// PATH holds only a folder of stand-in scripts, each recording its arguments in NAME.ran.
wxString StandIns(std::initializer_list<std::pair<const char*, const char*>> scripts) {
    const wxString dir = wxFileName::CreateTempFileName("sentak-path");
    wxRemoveFile(dir), wxMkdir(dir), wxSetEnv("PATH", dir);
    for (const auto& [name, body] : scripts) {
        wxFFile(dir + "/" + name, "w")
            .Write("#!/bin/sh\necho \"$@\" >\"$0.ran\"\n" + wxString(body));
        chmod((dir + "/" + name).c_str(), 0755);
    }
    return dir;
}

TEST(LinuxCommands, ServiceStatusOpensInTheFirstTerminalThatStartsAndNoneIsAFailure) {
    const wxString path = wxGetenv("PATH"), dir = StandIns({{"gnome-terminal", ""}, {"xterm", ""}});
    EXPECT_TRUE(StartServiceManager());
    const wxString empty = StandIns({});
    EXPECT_FALSE(StartServiceManager());
    wxSetEnv("PATH", path);
    for (int i = 0; i < 100 && !wxFileExists(dir + "/gnome-terminal.ran"); ++i) wxMilliSleep(100);
    wxString arguments;
    wxFFile(dir + "/gnome-terminal.ran").ReadAll(&arguments);
    EXPECT_TRUE(arguments.StartsWith("-- sh -c systemctl --no-pager status quenthal.service;"));
    EXPECT_TRUE(arguments.Contains("read")) << "the terminal closes before it can be read";
    EXPECT_FALSE(wxFileExists(dir + "/xterm.ran"));
    wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE), wxFileName::Rmdir(empty);
}

TEST(LinuxCommands, ALauncherThatFailsOrIsMissingIsAFailedBrowserStart) {
    const wxString path = wxGetenv("PATH"), dir = StandIns({{"xdg-open", "exit 4"}});
    int failures = 0;
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(20), [&] {
        StartBrowser("http://localhost:8080/", [&] { ++failures, wxTheApp->ExitMainLoop(); });
    }));
    const wxString empty = StandIns({});
    StartBrowser("http://localhost:8080/", [&] { ++failures; });
    wxSetEnv("PATH", path);
    EXPECT_EQ(failures, 2) << "a failed or a missing launcher was taken for a started browser";
    wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE), wxFileName::Rmdir(empty);
}

}  // namespace
