#pragma once

#include <wx/msw/wrapwin.h>  // windows.h as the toolkit includes it
#include <winsvc.h>

#include <utility>

// Owns one kernel handle (pipe, event). Both of the API's "no handle" values count as empty.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() {
        if (valid()) ::CloseHandle(m_handle);
    }

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(m_handle, nullptr); }

private:
    HANDLE m_handle = nullptr;
};

// Owns one handle of the service control manager: the manager itself, or a service.
class UniqueServiceHandle {
public:
    UniqueServiceHandle() = default;
    explicit UniqueServiceHandle(SC_HANDLE handle) : m_handle(handle) {}
    UniqueServiceHandle(UniqueServiceHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueServiceHandle& operator=(UniqueServiceHandle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    UniqueServiceHandle(const UniqueServiceHandle&) = delete;
    UniqueServiceHandle& operator=(const UniqueServiceHandle&) = delete;
    ~UniqueServiceHandle() {
        if (m_handle) ::CloseServiceHandle(m_handle);
    }

    SC_HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle = nullptr;
};
