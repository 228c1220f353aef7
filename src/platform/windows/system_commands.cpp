// What the menu's commands start on Windows: the services console and Event Viewer.
#include "platform/system_commands.h"

#include <iterator>

#include <wx/file.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/utils.h>

#include "platform/windows/event_view.h"
#include "platform/windows/service_manager.h"

namespace {

// The services console lists every service; it takes no name to open on.
constexpr const char* kServicesConsole = "services.msc";

bool OpenServiceLog(const wxString& service) {
    const wxString displayName = ServiceDisplayName(service);
    // A view file rather than a filter on the command line: Event Viewer's own format for a saved
    // view, free of the quoting a query would need, and one file that is rewritten each time.
    const wxString path = wxFileName::GetTempDir() + "\\" + service + "-log.xml";
    wxFile view;
    if (!view.Create(path, true) || !view.Write(ServiceLogView(service, displayName), wxConvUTF8))
        return false;
    view.Close();
    // Event Viewer asks for the highest rights the user has; the log of a service is readable
    // without them, and the shim keeps it at the user's own rights, without a consent prompt.
    wxExecuteEnv env;
    wxGetEnvMap(&env.env);
    env.env["__COMPAT_LAYER"] = "RunAsInvoker";
    return wxExecute("eventvwr.exe /v:\"" + path + "\"", wxEXEC_ASYNC, nullptr, &env) != 0;
}

// The commands this system carries out, which the tray's table names.
const SystemCommand kCommands[] = {
    {"service-manager",
     // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
     wxTRANSLATE("&Manage Windows services"), wxTRANSLATE("Launching service management failed."),
     wxTRANSLATE("Failed to launch service management"),
     [](const wxString&) { return wxString(kServicesConsole); },
     // The shell finds the console on the system path itself.
     [](const wxString&) { return wxLaunchDefaultApplication(kServicesConsole, 0); }},
    {"service-log",
     // TRANSLATORS: A menu command that shows what the system logged about the service; keep one
     // '&', on a letter the other commands do not use.
     wxTRANSLATE("Show service &log"), wxTRANSLATE("Opening the service log failed."),
     wxTRANSLATE("Failed to open the service log"),
     // The viewer's own console, on every log; the user filters it by hand.
     [](const wxString&) { return wxString("eventvwr.msc"); }, &OpenServiceLog},
};

}  // namespace

SystemCommandTable ThisSystemsCommands() { return {kCommands, std::size(kCommands)}; }
