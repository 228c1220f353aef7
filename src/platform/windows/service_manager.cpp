#include "platform/windows/service_manager.h"

UniqueServiceHandle OpenServiceManager() {
    return UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
}

wxString ServiceDisplayName(const wxString& service) {
    const UniqueServiceHandle manager = OpenServiceManager();
    wchar_t name[257];  // the longest display name, 256 characters, and its end
    DWORD length = 257;
    if (manager.valid() && ::GetServiceDisplayNameW(manager.get(), service.wc_str(), name, &length))
        return name;
    return service;
}
