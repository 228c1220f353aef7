// What Linux desktops get from the program's own code: the tray's pixels and labels as
// StatusNotifierItem hosts read them, and the commands started with stand-ins on PATH.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include <wx/ffile.h>
#include <wx/filename.h>

#include "bus_support.h"
#include "platform/desktop_shell.h"
#include "platform/linux/status_notifier.h"
#include "platform/linux/system_bus.h"
#include "platform/service_control.h"
#include "platform/service_state.h"
#include "platform/system_commands.h"
#include "tray/menu_text.h"

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
    EXPECT_TRUE(FindSystemCommand("service-manager")->start("quenthal.service"));
    const wxString empty = StandIns({});
    EXPECT_FALSE(FindSystemCommand("service-manager")->start("quenthal.service"));
    EXPECT_FALSE(FindSystemCommand("service-log")->start("quenthal.service"));
    wxSetEnv("PATH", path);
    for (int i = 0; i < 100 && !wxFileExists(dir + "/gnome-terminal.ran"); ++i) wxMilliSleep(100);
    wxString arguments;
    wxFFile(dir + "/gnome-terminal.ran").ReadAll(&arguments);
    // The unit comes in as an argument, never as part of the script.
    EXPECT_TRUE(arguments.StartsWith("-- sh -c systemctl --no-pager status -- \"$1\";"));
    EXPECT_TRUE(arguments.Contains(" sh quenthal.service ")) << arguments;
    EXPECT_TRUE(arguments.Contains("read")) << "the terminal closes before it can be read";
    EXPECT_FALSE(wxFileExists(dir + "/xterm.ran"));
    // The log in the same terminal, kept open with its output (journalctl's hint) not hidden.
    wxSetEnv("PATH", dir), wxRemoveFile(dir + "/gnome-terminal.ran");
    EXPECT_TRUE(FindSystemCommand("service-log")->start("quenthal.service"));
    wxSetEnv("PATH", path);
    for (int i = 0; i < 100 && !wxFileExists(dir + "/gnome-terminal.ran"); ++i) wxMilliSleep(100);
    wxFFile(dir + "/gnome-terminal.ran").ReadAll(&arguments);
    EXPECT_TRUE(arguments.StartsWith("-- sh -c journalctl --unit=\"$1\" --boot --pager-end; "
                                     "printf") &&
                arguments.Contains(" sh quenthal.service ") && arguments.Contains("read"))
        << arguments;
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

// Runs command on unit through the real control and waits for its outcome.
ServiceOutcome Command(ServiceCommand command, const char* unit = "quenthal.service",
                       const std::unique_ptr<ServiceControl>& control = MakeServiceControl(),
                       std::chrono::seconds limit = std::chrono::seconds(60)) {
    ServiceOutcome outcome{ServiceOutcome::Result::Cancelled, "no outcome"};
    EXPECT_TRUE(RunMainLoop(limit, [&] {
        control->Run(command, unit, [&](const ServiceOutcome& ended) {
            outcome = ended;
            wxTheApp->ExitMainLoop();
        });
    }));
    return outcome;
}

// What systemd's own manager cannot be made to do here (the whole-program control test has the
// rest): polkit refusing, a job that never ends, no manager at all; and each failure's words.
TEST(Systemd, EachWayTheManagerAnswers) {
    using Result = ServiceOutcome::Result;
    std::optional<SystemBus> bus(std::in_place);
    const std::unique_ptr<ServiceControl> kept = MakeServiceControl();
    // Gone before its command ended, as at exit: its callback must never come.
    bool called = false;
    MakeServiceControl()->Run(ServiceCommand::Start, "quenthal.service",
                              [&](const ServiceOutcome&) { called = true; });
    RunMainLoop(std::chrono::seconds(2), [] {});
    EXPECT_FALSE(called);

    const std::pair<const char*, const char*> refusals[] = {
        {"access-denied", "Access denied"},
        {"job-fails", "The service manager's job ended with the result \"failed\"."},
    };
    for (const auto& [why, message] : refusals) {
        bus->StartManager({"--refuse", why});
        const ServiceOutcome outcome = Command(ServiceCommand::Start);
        EXPECT_EQ(outcome.result, Result::Failed) << message;
        EXPECT_EQ(WhyCommandFailed(outcome), message);
    }
    // A JobRemoved of another signature, before ours, is no job's end.
    bus->StartManager({"--malformed-signal"});
    EXPECT_EQ(Command(ServiceCommand::Restart).result, Result::Done);
    bus->StopManager();
    EXPECT_EQ(Command(ServiceCommand::Stop).result, Result::Failed) << "no manager on the bus";
    // The bus going away under a queued job ends the command, never the program.
    bus->StartManager({"--job-ms", "600000"});
    ServiceOutcome outcome;
    wxTimer busGoes;
    busGoes.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { bus.reset(); });
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(30), [&] {
        kept->Run(ServiceCommand::Stop, "quenthal.service", [&](const ServiceOutcome& ended) {
            outcome = ended;
            wxTheApp->ExitMainLoop();
        });
        busGoes.StartOnce(1000);
    }));
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_EQ(Command(ServiceCommand::Stop, "quenthal.service", kept).result, Result::Failed);
    const ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    EXPECT_EQ(Command(ServiceCommand::Stop).result, Result::Failed) << "no system bus";
}

// A system bus that takes the connection and never answers: the command and the question asked
// meanwhile fail in time, and the next command connects anew.
TEST(Systemd, ASilentSystemBusFailsInTimeAndIsTriedAgain) {
    const std::string path = PrivateFile(".bus");
    const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listening, 8), 0);  // the kernel takes connections; nobody accepts them
    const ScopedEnv silent("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + path).c_str());
    const auto attempts = [&] {
        int count = 0;
        for (int connection; (connection = accept(listening, nullptr, nullptr)) >= 0; ++count)
            close(connection);
        return count;
    };
    const auto control = MakeServiceControl();
    const auto reader = MakeServiceStateReader();
    std::optional<bool> answered;
    reader->Ask("quenthal.service", [&](const auto& facts) { answered = facts.has_value(); });
    const std::chrono::seconds limit(45);
    EXPECT_EQ(Command(ServiceCommand::Restart, "quenthal.service", control, limit).result,
              ServiceOutcome::Result::Failed);
    EXPECT_EQ(answered, false);
    EXPECT_EQ(attempts(), 1);
    EXPECT_EQ(Command(ServiceCommand::Start, "quenthal.service", control, limit).result,
              ServiceOutcome::Result::Failed);
    EXPECT_EQ(attempts(), 1);
    close(listening), unlink(path.c_str());
}

// No socket of the system bus as its readers start, not even its folder: they follow the bus
// once it appears there, though nothing tries again on a clock while the socket is away.
TEST(SystemBus, FollowedOnceItsSocketAppears) {
    const std::string folder = PrivateFile(".bus"), address = "unix:path=" + folder + "/bus";
    const ScopedEnv missing("DBUS_SYSTEM_BUS_ADDRESS", address.c_str());
    bool connected = false;
    const SystemBusFollower follower([&](GDBusConnection* bus) {
        if (bus) connected = true, wxTheApp->ExitMainLoop();
    });
    RunMainLoop(std::chrono::seconds(1), [] {});
    mkdir(folder.c_str(), 0700);
    const SystemBus bus(address);
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(30), [] {}));
    EXPECT_TRUE(connected) << "the bus that appeared was not followed";
    std::filesystem::remove_all(folder);
}

}  // namespace
