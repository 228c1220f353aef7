#include "platform/service_log.h"

#include <wx/app.h>

#include <thread>
#include <utility>

void AskLastWords(ServiceRun run, std::function<void(const LastWords&)> got) {
    // The toolkit's strings are built on the standard library's here, so a copy shares nothing
    // and the words may cross to the GUI thread.
    std::thread([run = std::move(run), got = std::move(got)] {
        LastWords words = ReadLastWords(run);
        if (!wxTheApp) return;  // the application has ended: nobody to tell
        wxTheApp->CallAfter([words = std::move(words), got] { got(words); });
    }).detach();
}
