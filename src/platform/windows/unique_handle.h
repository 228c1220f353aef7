#pragma once

#include <wx/msw/wrapwin.h>  // windows.h as the toolkit includes it

// After windows.h, which it needs.
#include <winsvc.h>

#include "base/unique_owner.h"

// Both of the API's "no handle" values own nothing: null, and INVALID_HANDLE_VALUE.
struct NullOrInvalid {
    template <typename Handle>
    static constexpr Handle None() {
        return nullptr;
    }
    template <typename Handle>
    static bool Is(Handle handle) {
        return handle == nullptr || handle == reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
    }
};

struct CloseKernelHandle {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
struct CloseServiceManagerHandle {
    void operator()(SC_HANDLE handle) const { ::CloseServiceHandle(handle); }
};

// A kernel handle: pipe, event, process.
using UniqueHandle = UniqueOwner<HANDLE, CloseKernelHandle, NullOrInvalid>;
// A handle of the service control manager: the manager itself, or a service.
using UniqueServiceHandle = UniqueOwner<SC_HANDLE, CloseServiceManagerHandle, NullOrInvalid>;
