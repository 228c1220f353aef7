// On Linux the service manager starts statusd as an ordinary program: nothing to register with.
#include <csignal>
#include <iostream>

#include "status_service.h"

int RunAsService(const std::string&, const ServeOptions&) {
    std::cerr << "statusd: --service is for Windows' service control manager; systemd runs "
                 "statusd as it is\n";
    return 2;
}

int GiveUpSignal() { return SIGUSR1; }
