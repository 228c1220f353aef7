#pragma once

#include "platform/windows/unique_handle.h"

// The local service control manager with the right to connect, which every user has: enough to
// open a service by name and read its name for display. Invalid when it cannot be opened, with
// GetLastError saying why. The one place the manager is opened, so that every reader and the
// commands ask it for no more than that right.
UniqueServiceHandle OpenServiceManager();
