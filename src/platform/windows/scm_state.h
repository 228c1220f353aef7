#pragma once

// The service control manager's codes for a service, read into the portable record of the
// service's facts.

#include <wx/msw/wrapwin.h>  // windows.h as the toolkit includes it

// After windows.h, which it needs.
#include <winsvc.h>

#include <optional>

#include "platform/service_state.h"

// What the service control manager answered, in Win32's codes.
struct ScmAnswer {
    DWORD openError = 0;  // why the service could not be opened; 0 when it was
    DWORD state = 0;      // dwCurrentState
    DWORD win32ExitCode = 0;
    DWORD serviceExitCode = 0;  // only when win32ExitCode is ERROR_SERVICE_SPECIFIC_ERROR
    bool disabled = false;      // its start type is disabled
};

// None when the answer tells nothing the user could use: the service could not be looked at, or
// its state is one Win32 does not define.
std::optional<ServiceFacts> DecodeScm(const ScmAnswer& answer);
