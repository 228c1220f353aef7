#pragma once

#include <optional>
#include <vector>

#include <wx/string.h>

#include "platform/windows/unique_handle.h"

// Whether the server of the default pipe may speak for the service. When the service control
// manager could be asked (serviceProcess), only the process it reports for the service counts
// (0: it runs none, and nothing counts). When it could not, the pipe's owner decides: an account
// no standard user can make it and no unrelated service shares, LocalSystem, the Administrators
// group, or the service's own (serviceSid). A null owner is unknown and counts for nothing.
bool ServedByService(DWORD serverProcess, std::optional<DWORD> serviceProcess, PSID owner,
                     PSID serviceSid);

// The SID of the service called name, NT SERVICE\<name>; empty when it cannot be made.
std::vector<BYTE> ServiceSid(const wxString& name);
