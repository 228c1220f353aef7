#include "tray/restarts.h"

#include <algorithm>
#include <utility>

namespace {

// Enough to know the processes of a few restarts back, which a slow source may still tell.
constexpr std::size_t kProcessesKept = 8;

// Restarts closer together than this are one crash loop.
constexpr std::chrono::minutes kCrashLoop{10};
// Notices a crash loop pops up; the count goes on in the menu and tooltip.
constexpr int kLoopNotices = 3;

}  // namespace

bool Restarts::Remember(std::uint32_t pid) {
    if (std::find(m_seen.begin(), m_seen.end(), pid) != m_seen.end()) return false;
    const bool first = m_seen.empty();
    m_seen.push_back(pid);
    if (m_seen.size() > kProcessesKept) m_seen.pop_front();
    return !first;
}

std::uint32_t Restarts::ManagerRestarts(const ServiceChange& change) {
    if (!change.restarts) return 0;
    const std::optional<std::uint32_t> before = std::exchange(m_managerCount, change.restarts);
    // None before is where the count starts from; less than before, it began again at a start by
    // hand.
    return before && *change.restarts > *before ? *change.restarts - *before : 0;
}

bool Restarts::ManagerTold(const ServiceChange& change, std::int64_t now) {
    if (change.kind == ServiceChange::Kind::Ended) m_lastEnd = change.end;
    if (change.kind == ServiceChange::Kind::Counted && change.restarts && m_managerCount &&
        *change.restarts < *m_managerCount)
        m_managerCount = change.restarts;
    // A rise alone waits for the process it led to, which tells it with the count.
    if (change.kind != ServiceChange::Kind::Started || change.pid == 0) return false;

    // The restarts since the last process the manager told: as many as it counted, and at least
    // the new processes seen meanwhile, of which those the pipe told are counted already.
    const int counted = std::exchange(m_pipeOnly, 0);
    const int seen = counted + int(Remember(change.pid));
    m_pending += std::max(int(ManagerRestarts(change)), seen) - counted;
    // The manager's word on when it started stands over when Sentak first saw it.
    const std::optional<std::int64_t> since = change.startedAt.value_or(now);
    return std::exchange(m_runningSince, since) != since;
}

bool Restarts::Pending(std::optional<std::uint32_t> server) const {
    const bool newServer = server && !m_seen.empty() &&
                           std::find(m_seen.begin(), m_seen.end(), *server) == m_seen.end();
    return m_pending > 0 || newServer;
}

Restarts::Counted Restarts::Polled(std::optional<std::uint32_t> server, bool counts,
                                   std::int64_t now) {
    const bool changed = Pending(server);
    if (server && Remember(*server)) {
        ++m_pending;
        ++m_pipeOnly;
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
