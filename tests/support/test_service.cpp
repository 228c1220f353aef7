#include "test_service.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {

std::string MakePrivateDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sentak-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    return pattern;
}

}  // namespace

TestService::TestService(ServeOptions options) : m_path(MakePrivateDir() + "/Quenthal") {
    ::setenv("QUENTHAL_PIPE", m_path.c_str(), 1);
    Start(std::move(options));
}

TestService::~TestService() {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(m_path).parent_path(), ignored);
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
    std::string dir = MakePrivateDir();
    std::filesystem::remove(dir);  // a path in a directory that no longer exists: never served
    ::setenv("QUENTHAL_PIPE", (dir + "/Quenthal").c_str(), 1);
}
