#include "tray/new_processes.h"

#include <algorithm>
#include <utility>

namespace {
// Enough to know the processes of a few restarts back, which a slow source may still tell.
constexpr std::size_t kProcessesKept = 8;
// Polls that the pipe's server and the manager's main process stand still for, before they are
// taken for what they are: one process or two.
constexpr int kStillPolls = 5;
}  // namespace

bool NewProcesses::Known(std::uint32_t pid) const {
    return std::find(m_seen.begin(), m_seen.end(), pid) != m_seen.end();
}

bool NewProcesses::Remember(std::uint32_t pid) {
    if (Known(pid)) return false;
    const bool first = m_seen.empty();
    m_seen.push_back(pid);
    if (m_seen.size() > kProcessesKept) m_seen.pop_front();
    return !first;
}

int NewProcesses::ManagerStarted(std::uint32_t pid, std::optional<std::uint32_t> restarts) {
    m_managerMain = pid;
    if (pid == m_pipeServer) m_pipeIsMain = true;
    const int counted = std::exchange(m_pipeOnly, 0);
    const int seen = counted + int(Remember(pid));
    const std::optional<std::uint32_t> before = std::exchange(m_managerCount, restarts);
    if (!restarts || !before) return seen - counted;
    // As many restarts as the manager made since, which explain the processes seen meanwhile; or
    // one made by hand, which the manager does not count. Those the pipe told are counted already.
    const std::uint32_t made = *restarts > *before ? *restarts - *before : 0;
    return std::max(0, std::max(int(made), std::min(seen, 1)) - counted);
}

void NewProcesses::ManagerCounted(std::uint32_t restarts) {
    if (m_managerCount && restarts < *m_managerCount) m_managerCount = restarts;
}

bool NewProcesses::PipeTells(std::uint32_t pid) const {
    return m_pipeIsMain != false && !m_seen.empty() && !Known(pid);
}

int NewProcesses::PipeServed(std::uint32_t pid) {
    // Judged once both stood still for a while: the manager may tell of a new process only some
    // time after it serves the pipe.
    m_still = pid == m_pipeServer ? m_still + 1 : 0;
    m_pipeServer = pid;
    if (m_still >= kStillPolls && m_managerMain && m_pipeIsMain != (pid == *m_managerMain)) {
        m_pipeIsMain = pid == *m_managerMain;
        if (!*m_pipeIsMain) m_pipeOnly = 0;  // they were no main processes
    }
    if (m_pipeIsMain == false || !Remember(pid)) return 0;
    ++m_pipeOnly;
    return 1;
}
