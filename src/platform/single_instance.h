#pragma once

// One Sentak per desktop session and status pipe: a later start tells the one running and ends.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include <wx/string.h>
#include <wx/utils.h>

// The title of the program's hidden main window, by which a later start and the installer find
// the Sentak that runs (on Windows).
inline constexpr const char kMainWindowTitle[] = "wxTaskBarIcon Test Dialog";

// This desktop session and status pipe, held by this process while the claim lives, unless
// another Sentak holds them already. Made before the toolkit starts.
class InstanceClaim {
public:
    InstanceClaim();
    ~InstanceClaim();
    InstanceClaim(const InstanceClaim&) = delete;
    InstanceClaim& operator=(const InstanceClaim&) = delete;

    // Another Sentak holds them and has been told of this start. Where nothing can tell (no
    // session bus), never.
    bool AnotherRuns() const { return m_anotherRuns; }

private:
    struct Held;
    std::unique_ptr<Held> m_held;
    bool m_anotherRuns = false;
};

// What the process that holds the claim does when a later start tells it, on the GUI thread.
// Empty: nothing.
void WhenStartedAgain(std::function<void()> told);

// What tells this status pipe from others in the claim's name: nothing for the default pipe,
// otherwise a hash of $QUENTHAL_PIPE, which may be longer than a name may be.
inline wxString PipeKey() {
    wxString pipe;
    if (!wxGetEnv("QUENTHAL_PIPE", &pipe) || pipe.empty()) return {};
    std::uint64_t hash = 14695981039346656037u;  // FNV-1a
    for (const char byte : pipe.utf8_string()) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211u;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
    return key;
}
