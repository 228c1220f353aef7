#include "platform/windows/service_manager.h"

UniqueServiceHandle OpenServiceManager() {
    return UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
}
