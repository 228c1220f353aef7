#include "test_service.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <wx/msw/wrapwin.h>

#include <atomic>
#endif
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {

#ifdef _WIN32
// A pipe name of this process's own, so tests running side by side never meet.
std::string MakePrivatePath() {
    static std::atomic<int> count{0};
    return R"(\\.\pipe\Quenthal-test-)" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(++count);
}

void RemovePrivatePath(const std::string&) {}  // a pipe's name goes with its last instance

void PointServiceAt(const std::string& path) { ::_putenv_s("QUENTHAL_PIPE", path.c_str()); }
#else
// A socket in a private directory, removed with it.
std::string MakePrivatePath() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sentak-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    return pattern + "/Quenthal";
}

void RemovePrivatePath(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ignored);
}

void PointServiceAt(const std::string& path) { ::setenv("QUENTHAL_PIPE", path.c_str(), 1); }
#endif

}  // namespace

TestService::TestService(ServeOptions options) : m_path(MakePrivatePath()) {
    PointServiceAt(m_path);
    Start(std::move(options));
}

TestService::~TestService() {
    Stop();
    RemovePrivatePath(m_path);
}

void TestService::Stop() {
    if (!m_server) return;
    m_server->Stop();
    if (m_thread.joinable()) m_thread.join();
    m_server.reset();
}

void TestService::Start(ServeOptions options) {
    Stop();
    m_server = std::make_unique<StatusServer>(m_path, std::move(options));
    m_thread = std::thread([server = m_server.get()] {
        try {
            server->Run();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "the test service stopped: " << e.what();
        }
    });
}

std::size_t TestService::ClientsServed() const { return m_server ? m_server->ClientsServed() : 0; }

void UseMissingService() {
    // A path that is never served: a removed directory's socket, or an unused pipe name.
    const std::string path = MakePrivatePath();
    RemovePrivatePath(path);
    PointServiceAt(path);
}
