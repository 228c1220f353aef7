#pragma once

#include <chrono>
#include <functional>

#include <wx/app.h>
#include <wx/timer.h>

// Runs the toolkit's main loop as the program does, with start as its first event, until the
// loop ends on its own or limit has passed; false when the limit had to end it.
inline bool RunMainLoop(std::chrono::milliseconds limit, std::function<void()> start) {
    bool timedOut = false;
    wxTimer safety;
    safety.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        timedOut = true;
        wxTheApp->ExitMainLoop();
    });
    safety.StartOnce(int(limit.count()));
    wxTheApp->CallAfter(std::move(start));
    wxTheApp->OnRun();
    safety.Stop();
    return !timedOut;
}
