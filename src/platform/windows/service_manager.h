#pragma once

#include <wx/string.h>

#include "platform/windows/unique_handle.h"

// The local service control manager with the right to connect, which every user has: enough to
// open a service by name and read its name for display. Invalid when it cannot be opened, with
// GetLastError saying why. The one place the manager is opened, so that every reader and the
// commands ask it for no more than that right.
UniqueServiceHandle OpenServiceManager();

// The name the manager shows for service, which its entries in the event log use; the service's
// own name when it has none or the manager cannot say.
wxString ServiceDisplayName(const wxString& service);
