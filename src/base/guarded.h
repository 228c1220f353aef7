#pragma once

// The one guard at every callback that C code calls (GLib, GDBus, the Windows API): nothing may
// unwind through C frames.

#include <exception>

// Runs action; whatever it throws goes to failed with the exception's text ("failed" when it has
// none), and the program goes on.
template <typename Action, typename Failed>
void Guarded(Action&& action, Failed&& failed) noexcept {
    try {
        action();
    } catch (const std::exception& e) {
        failed(e.what());
    } catch (...) {
        failed("failed");
    }
}

// Runs action and drops whatever it throws: a callback with nobody to tell.
template <typename Action>
void Guarded(Action&& action) noexcept {
    Guarded(action, [](const char*) {});
}
