#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "status_server.h"

// Writes all of size bytes to the client; false when it went away or the server is stopping.
using SendBytes = std::function<bool(const std::uint8_t* data, std::size_t size)>;
// Waits the given time; false when the server is stopping meanwhile.
using Pause = std::function<bool(std::chrono::milliseconds)>;

// Sends what a client gets in options.mode, whichever transport carries it: the record, the cut
// of it (Short, Reset), the record padded out (Oversize), the record a byte at a time (Drip), or
// nothing (Close, Hang). How the connection ends afterwards is the transport's business. True
// when all of it was sent.
bool SendAnswer(const ServeOptions& options, const SendBytes& send, const Pause& pause);
