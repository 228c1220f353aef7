#pragma once

#include <memory>
#include <string>
#include <thread>

#include "status_server.h"

// A real stand-in service on a private socket, served from a background thread for the life of
// the object. Points QUENTHAL_PIPE at it, so the program under test finds it.
class TestService {
public:
    explicit TestService(ServeOptions options = {});
    ~TestService();  // stops the service; QUENTHAL_PIPE keeps pointing at the now-dead path

    // The service goes away (its socket is removed), as when it crashes or stops.
    void Stop();
    // Starts again at the same path with new options.
    void Start(ServeOptions options);
    std::size_t ClientsServed() const;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::unique_ptr<StatusServer> m_server;
    std::thread m_thread;
};

// Points QUENTHAL_PIPE at a path where nothing serves.
void UseMissingService();
