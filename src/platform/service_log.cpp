#include "platform/service_log.h"

#include <thread>
#include <utility>

void AskLastWords(ServiceRun run, Lifetime::Watch caller,
                  std::function<void(const LastWords&)> got) {
    // The toolkit's strings are built on the standard library's here, so a copy shares nothing
    // and the words may cross to the GUI thread.
    std::thread([run = std::move(run), caller, got = std::move(got)] {
        LastWords words = ReadLastWords(run);
        caller.Post([words = std::move(words), got] { got(words); });
    }).detach();
}
