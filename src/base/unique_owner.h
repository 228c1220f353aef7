#pragma once

// The one shape of every owner of an OS or library handle, so that no path leaks one: a file
// descriptor, a Windows handle, an id that GLib hands out.

#include <utility>

// Zero (or null) is the value that owns nothing, as most APIs have it.
struct ZeroIsEmpty {
    template <typename Handle>
    static constexpr Handle None() {
        return Handle{};
    }
    template <typename Handle>
    static bool Is(Handle handle) {
        return handle == Handle{};
    }
};

// Owns one handle and gives it back through release when dropped; move-only. Release is a
// function object that holds whatever giving back needs besides the handle (the connection an
// object is exported on, say); Empty says which values own nothing.
template <typename Handle, typename Release, typename Empty = ZeroIsEmpty>
class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle handle, Release release = Release{})
        : m_handle(handle), m_release(std::move(release)) {}
    UniqueOwner(UniqueOwner&& other) noexcept
        : m_handle(other.release()), m_release(other.m_release) {}
    // The handle held before is given back here and now, not whenever other goes.
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this == &other) return *this;
        Handle taken = other.release();
        if (valid()) m_release(m_handle);
        m_handle = taken;
        m_release = std::move(other.m_release);
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    ~UniqueOwner() {
        if (valid()) m_release(m_handle);
    }

    Handle get() const { return m_handle; }
    bool valid() const { return !Empty::Is(m_handle); }
    explicit operator bool() const { return valid(); }
    // The handle, no longer owned: the caller gives it back.
    Handle release() { return std::exchange(m_handle, Empty::template None<Handle>()); }

private:
    Handle m_handle = Empty::template None<Handle>();
    Release m_release{};
};
