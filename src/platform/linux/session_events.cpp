#include "platform/session_events.h"

std::unique_ptr<SessionWatch> WatchSession(SessionEvents) {
    return std::make_unique<SessionWatch>();
}
