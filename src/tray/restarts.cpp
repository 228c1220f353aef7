#include "tray/restarts.h"

#include <algorithm>
#include <utility>

namespace {

// Restarts closer together than this are one crash loop.
constexpr std::chrono::minutes kCrashLoop{10};
// Notices a crash loop pops up; the count goes on in the menu and tooltip.
constexpr int kLoopNotices = 3;

}  // namespace

bool Restarts::ManagerTold(const ServiceChange& change, std::int64_t now) {
    if (change.kind == ServiceChange::Kind::Ended) m_lastEnd = change.end;
    if (change.kind == ServiceChange::Kind::Counted && change.restarts)
        m_processes.ManagerCounted(*change.restarts);
    if (change.kind != ServiceChange::Kind::Started || change.pid == 0) return false;
    m_pending += m_processes.ManagerStarted(change.pid, change.restarts);
    // The manager's word on when it started stands over when Sentak first saw it.
    const std::optional<std::int64_t> since = change.startedAt.value_or(now);
    return std::exchange(m_runningSince, since) != since;
}

bool Restarts::Pending(std::optional<std::uint32_t> server) const {
    return m_pending > 0 || (server && m_processes.PipeTells(*server));
}

Restarts::Counted Restarts::Polled(std::optional<std::uint32_t> server, bool counts,
                                   std::int64_t now) {
    const bool changed = Pending(server);
    if (server && m_processes.PipeServed(*server) > 0) {
        ++m_pending;
        m_runningSince = now;  // until the manager tells when it started
    }
    // Where no source tells the process, a service back from a stop runs anew.
    if (!m_runningSince || (std::exchange(m_backFromStop, false) && !server)) m_runningSince = now;

    Counted counted;
    if (counts) counted.added = m_pending;
    m_pending = 0;
    m_count += counted.added;
    if (counted.added > 0 && !m_firstAt) m_firstAt = now;
    if (changed) counted.lastEnd = std::exchange(m_lastEnd, std::nullopt);
    return counted;
}

void Restarts::StopShown() {
    m_lastEnd.reset();
    m_backFromStop = true;
}

CrashLoop::Pop CrashLoop::Restarted(Time now) {
    const bool inLoop = m_lastAt && now - *m_lastAt < kCrashLoop;
    m_lastAt = now;
    if (!inLoop) {
        m_popped = 1;
        return Pop::Fresh;
    }
    if (m_popped >= kLoopNotices) return Pop::Quiet;
    ++m_popped;
    return Pop::Again;
}
