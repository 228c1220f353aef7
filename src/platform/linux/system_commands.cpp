// What the menu's commands start on Linux: the service's status and its log in a terminal, the
// browser.
#include "platform/system_commands.h"

#include <gio/gio.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <wx/intl.h>

#include "platform/desktop_shell.h"
#include "platform/linux/gio_owners.h"

namespace {

// A launcher that fails within this long did not start the browser; one still running after it
// has handed the page over.
constexpr gint64 kLaunchVerdictUs = 5 * G_USEC_PER_SEC;

// Starts args[0], found on PATH, without waiting; false when it could not be started. GLib's
// spawn reaps the child itself unless pid is given, for a caller that watches the child.
bool Spawn(const std::vector<std::string>& args, GPid* pid = nullptr) {
    std::vector<gchar*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<gchar*>(arg.c_str()));
    argv.push_back(nullptr);
    const GSpawnFlags flags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | (pid ? G_SPAWN_DO_NOT_REAP_CHILD : 0));
    return g_spawn_async(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, pid, nullptr);
}

struct Launch {
    std::function<void()> failed;
    gint64 started;
};

void OnLauncherExit(GPid pid, gint status, gpointer data) {
    const std::unique_ptr<Launch> launch(static_cast<Launch*>(data));
    g_spawn_close_pid(pid);
    if (g_get_monotonic_time() - launch->started >= kLaunchVerdictUs) return;
    if (g_spawn_check_wait_status(status, nullptr)) return;
    Guarded(launch->failed);  // an offer that cannot be made is lost
}

// Runs command in the first terminal that starts; false when none did. What it wrote stays on
// screen until the user has read it. The unit and the prompt come in as $1 and $2, so that neither
// a brand file nor a translation can break the script.
bool RunInTerminal(const std::string& command, const wxString& unit) {
    const std::string script = command + "; printf '\\n%s' \"$2\"; read -r _";
    // TRANSLATORS: Shown in the terminal below the service's status or its log.
    const std::string prompt(_("Press Enter to close this window.").utf8_str());
    // Debian's choice of the user's terminal first, then the common ones, each with the option
    // that runs the rest of its command line.
    const std::pair<const char*, const char*> terminals[] = {
        {"x-terminal-emulator", "-e"}, {"gnome-terminal", "--"}, {"konsole", "-e"},
        {"xfce4-terminal", "-x"},      {"xterm", "-e"},
    };
    for (const auto& [terminal, run] : terminals)
        if (Spawn({terminal, run, "sh", "-c", script, "sh", std::string(unit.utf8_str()), prompt}))
            return true;
    return false;
}

// The commands this system carries out, which the tray's table names.
const SystemCommand kCommands[] = {
    {"service-manager",
     // TRANSLATORS: A menu command that opens the service's status in a terminal; keep one '&',
     // on a letter the other commands do not use.
     wxTRANSLATE("&Manage services"), wxTRANSLATE("Launching service management failed."),
     wxTRANSLATE("Failed to launch service management"),
     [](const wxString& service) { return "systemctl status " + service; },
     [](const wxString& service) {
         return RunInTerminal("systemctl --no-pager status -- \"$1\"", service);
     }},
    {"service-log",
     // TRANSLATORS: A menu command that shows what the system logged about the service; keep one
     // '&', on a letter the other commands ("Open web &settings", "&Manage services", "S&tart
     // service", "St&op service", "&Restart service", "E&xit tray application") do not use.
     wxTRANSLATE("Show service &log"), wxTRANSLATE("Opening the service log failed."),
     wxTRANSLATE("Failed to open the service log"),
     [](const wxString& service) { return "journalctl --unit=" + service + " --boot --pager-end"; },
     // Its output is not hidden: to a user outside adm and systemd-journal, journalctl's own hint
     // says why the service's lines are missing.
     [](const wxString& service) {
         return RunInTerminal("journalctl --unit=\"$1\" --boot --pager-end", service);
     }},
};

}  // namespace

SystemCommandTable ThisSystemsCommands() { return {kCommands, std::size(kCommands)}; }

void StartBrowser(const wxString& url, std::function<void()> failed) {
    // Started ourselves rather than by the toolkit, which does not wait for xdg-open either and
    // so takes every launch for a success: the exit status tells.
    GPid pid = 0;
    if (!Spawn({"xdg-open", std::string(url.utf8_str())}, &pid)) return failed();
    g_child_watch_add(pid, &OnLauncherExit, new Launch{std::move(failed), g_get_monotonic_time()});
}
