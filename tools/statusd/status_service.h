#pragma once

#include <string>

#include "status_server.h"

// Serves path as a service of the system's service manager, reporting its state to the manager
// and stopping when the manager says so. Returns the process's exit status.
int RunAsService(const std::string& path, const ServeOptions& options);

// The signal that makes statusd give up with its last words (SIGUSR1); 0 where the system has no
// signal to spare for it (Windows).
int GiveUpSignal();
