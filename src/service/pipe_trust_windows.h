#pragma once

#include "platform/unique_handle_windows.h"

// Whether the server of the default pipe may speak for the service: it is the process the
// service control manager reports for the service (serviceProcess, 0 when none runs), or the
// pipe's owner is an account no standard user can make it: LocalSystem, LocalService,
// NetworkService or the Administrators group. A null owner is unknown and counts for nothing.
bool ServedByService(DWORD serverProcess, DWORD serviceProcess, PSID owner);
