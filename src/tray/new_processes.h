#pragma once

// Which processes of the service are new, from the two that tell of them: the pipe's server at
// each poll, and the manager's main process when it changes. A process is new once, whichever
// tells of it first; where the manager counts its own restarts, it says how many restarts led to
// its new process.

#include <cstdint>
#include <deque>
#include <optional>

class NewProcesses {
public:
    // The manager's new main process, with its count of restarts where it keeps one: how many
    // restarts this tells beyond those the pipe told already.
    int ManagerStarted(std::uint32_t pid, std::optional<std::uint32_t> restarts);
    // The manager's count alone: less than before, it began again at a start by hand.
    void ManagerCounted(std::uint32_t restarts);
    // The pipe's server at a poll: 1 when it tells a restart, else 0.
    int PipeServed(std::uint32_t pid);
    // Whether the pipe's server tells a restart that was not told yet.
    bool PipeTells(std::uint32_t pid) const;

private:
    bool Known(std::uint32_t pid) const;
    // Remembers pid; true when it is new and not the first process ever seen, which is where
    // the counting starts from.
    bool Remember(std::uint32_t pid);

    std::deque<std::uint32_t> m_seen;  // the service's latest processes, newest last
    // New processes the pipe told since the manager last told one: a restart the manager tells
    // later explains them rather than adding to them.
    int m_pipeOnly = 0;
    std::optional<std::uint32_t> m_managerCount;               // at the main process it told last
    std::optional<std::uint32_t> m_managerMain, m_pipeServer;  // as each told last
    // Whether the pipe's server is the main process, as seen when both stood still; a service
    // whose main process starts another that serves the pipe tells its restarts through the
    // manager alone, or each would count twice.
    std::optional<bool> m_pipeIsMain;
    int m_still = 0;  // polls the pipe's server stood still for
};
