// sentak-control: what the tray starts elevated ("runas") when the user may not start or stop the
// service. Carries out one command, "start", "stop" or "restart" NAME, and tells its outcome by
// its exit status: 0 done, otherwise the Win32 error code whose message the tray shows. Any
// program may start it so, and the consent prompt shows Sentak: NAME must be Sentak's own
// service, or it is refused before the service manager is asked anything.
#include "platform/windows/service_control.h"
#include "platform/windows/unique_handle.h"

#include <shellapi.h>  // after windows.h, which it needs

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv) return int(::GetLastError());
    std::optional<ServiceCommand> command;
    wxString name;
    if (argc == 3) {
        command = ParseCommandWord(argv[1]);
        name = argv[2];
    }
    ::LocalFree(argv);
    // The name acted on is the machine's alone; the command line's must be it (the manager's
    // names ignore case), and an unusable value refuses rather than falls back.
    const std::optional<wxString> own = ElevatedServiceName();
    if (!command || !own || name.CmpNoCase(*own) != 0) return ERROR_INVALID_PARAMETER;
    // Nothing cancels the helper: it ends when the command has.
    const UniqueHandle never(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    return int(CarryOut(*command, *own, never.get()));
}
