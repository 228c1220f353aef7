#pragma once

#include <wx/msw/wrapwin.h>  // windows.h as the toolkit includes it

// After windows.h, which it needs.
#include <winsvc.h>

#include <utility>

// Owns one handle that close gives back. Both of the API's "no handle" values count as empty.
template <typename Handle, BOOL(WINAPI* Close)(Handle)>
class UniqueOsHandle {
public:
    UniqueOsHandle() = default;
    explicit UniqueOsHandle(Handle handle) : m_handle(handle) {}
    UniqueOsHandle(UniqueOsHandle&& other) noexcept : m_handle(other.release()) {}
    UniqueOsHandle& operator=(UniqueOsHandle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    UniqueOsHandle(const UniqueOsHandle&) = delete;
    UniqueOsHandle& operator=(const UniqueOsHandle&) = delete;
    ~UniqueOsHandle() {
        if (valid()) Close(m_handle);
    }

    Handle get() const { return m_handle; }
    bool valid() const {
        return m_handle != nullptr && m_handle != reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
    }
    Handle release() { return std::exchange(m_handle, nullptr); }

private:
    Handle m_handle = nullptr;
};

// A kernel handle: pipe, event, process.
using UniqueHandle = UniqueOsHandle<HANDLE, ::CloseHandle>;
// A handle of the service control manager: the manager itself, or a service.
using UniqueServiceHandle = UniqueOsHandle<SC_HANDLE, ::CloseServiceHandle>;
