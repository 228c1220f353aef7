#include "tray/command_window.h"

namespace {
// A command of ours changes the process for a while after it ends too: the manager may tell of
// the new process only after our command has reported.
constexpr std::chrono::seconds kSettles{5};
}  // namespace

bool CommandWindow::Started() {
    // A host may still show a menu from before the command began.
    if (m_pending) return false;
    m_pending = m_open = true;
    m_quietSince.reset();
    return true;
}

bool CommandWindow::Ours(bool changed, Time now) {
    if (!m_open) return false;
    // Closes at a poll that saw no change, kSettles after the command ended.
    if (m_pending || changed || !m_quietSince)
        m_quietSince = m_pending ? std::nullopt : std::optional(now);
    else if (now - *m_quietSince >= kSettles)
        m_open = false;
    return true;
}

void CommandWindow::StopShown() {
    if (!m_pending) m_open = false;
}
