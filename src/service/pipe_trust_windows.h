#pragma once

#include <vector>

#include <wx/string.h>

#include "platform/windows/unique_handle.h"

// Whether the server of the default pipe may speak for the service: it is the process the
// service control manager reports for the service (serviceProcess, 0 when none runs), or the
// pipe's owner is an account no standard user can make it and no unrelated service shares:
// LocalSystem, the Administrators group, or the service's own (serviceSid). A null owner is
// unknown and counts for nothing.
bool ServedByService(DWORD serverProcess, DWORD serviceProcess, PSID owner, PSID serviceSid);

// The SID of the service called name, NT SERVICE\<name>; empty when it cannot be made.
std::vector<BYTE> ServiceSid(const wxString& name);
