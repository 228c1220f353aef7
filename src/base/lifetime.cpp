#include "base/lifetime.h"

#include <wx/app.h>

void Lifetime::Watch::Post(std::function<void()> call) const {
    const std::lock_guard<std::mutex> lock(m_state->posting);
    // Without an application there is no GUI thread left to run it.
    if (!m_state->alive || !wxTheApp) return;
    wxTheApp->CallAfter([state = m_state, call = std::move(call)] {
        if (state->alive) call();
    });
}
