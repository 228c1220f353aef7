#pragma once

#include <cstdint>
#include <vector>

#include "status_server.h"

// What a client is sent in options.mode, whichever transport carries it: the record, the cut
// of it (Short, Reset), the record padded out (Oversize), or nothing (Close, Hang). Drip sends
// the same bytes one at a time; how the connection ends afterwards is the transport's business.
std::vector<std::uint8_t> AnswerBytes(const ServeOptions& options);
