// What Windows tells of the service and of the session, read into the portable records.
#include <gtest/gtest.h>
#include <wx/frame.h>

#include "platform/session_events.h"
#include "platform/windows/event_view.h"
#include "platform/windows/scm_state.h"

static ScmAnswer Scm(DWORD state, DWORD exit = 0, DWORD specific = 0, bool disabled = false) {
    return {NO_ERROR, state, exit, specific, disabled};
}

TEST(ScmState, DecodedIntoThePortableRecord) {
    using Now = ServiceFacts::Now;
    using How = ServiceEnd::How;
    const struct {
        ScmAnswer answer;
        ServiceFacts facts;
    } cases[] = {
        {{ERROR_SERVICE_DOES_NOT_EXIST, 0, 0, 0, false}, {Now::NotInstalled}},
        {Scm(SERVICE_STOPPED, 0, 0, true), {Now::Disabled}},
        // One disabled while it ran still runs.
        {Scm(SERVICE_RUNNING, 0, 0, true), {Now::Running}},
        {Scm(SERVICE_STOPPED), {Now::Stopped}},
        {Scm(SERVICE_STOPPED, ERROR_SERVICE_NEVER_STARTED), {Now::Stopped}},
        {Scm(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR, 42),
         {Now::Stopped, {How::ExitCode, 42}}},
        {Scm(SERVICE_STOPPED, 0xC0000005), {Now::Stopped, {How::ExitCode, 0xC0000005}}},
        {Scm(SERVICE_STOPPED, ERROR_PROCESS_ABORTED, 42), {Now::Stopped, {How::Aborted}}},
        {Scm(SERVICE_PAUSED), {Now::Running}},
        {Scm(SERVICE_START_PENDING), {Now::Starting}},
        {Scm(SERVICE_STOP_PENDING), {Now::Stopping}},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeScm(c.answer), c.facts) << c.answer.state;
    // A manager that would not let us look, or a state Win32 does not define, says nothing.
    EXPECT_FALSE(DecodeScm({ERROR_ACCESS_DENIED, 0, 0, 0, false}));
    EXPECT_FALSE(DecodeScm(Scm(0)));
}

// Event Viewer's view: the manager's entries that name the service, and those of its own source;
// names that would break the query or the file are quoted.
TEST(EventView, TheManagersEntriesAboutTheServiceAndItsOwnSource) {
    const wxString view = ServiceLogView("quenthal", "Q's <Service> & co");
    EXPECT_TRUE(
        view.Contains("<Select Path=\"System\">*[System[Provider[@Name='Service Control "
                      "Manager']] and EventData[Data=concat('Q', &quot;'&quot;, 's "
                      "&lt;Service&gt; &amp; co') or Data='quenthal']]</Select>"))
        << view;
    EXPECT_TRUE(view.Contains(
        "<Select Path=\"Application\">*[System[Provider[@Name='quenthal']]]</Select>"));
}

// Windows' announcements, sent to the toolkit's window and the watch's, reach the watch and still
// the application, and none reach the watch after it is gone.
TEST(SessionWatch, WindowsAnnouncementsReachIt) {
    std::string heard;
    wxFrame frame(nullptr, wxID_ANY, "");  // the application asks it to close at the query
    frame.Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) { heard += "close ", event.Veto(); });
    auto watch = WatchSession({[&] { heard += "sleeping "; }, [&] { heard += "resumed "; },
                               [&](bool ending) { heard += ending ? "ending " : "cancelled "; }});
    for (int round = 0; round < 2; ++round, watch.reset())
        for (auto [message, wParam] : {std::pair<UINT, WPARAM>{WM_POWERBROADCAST, PBT_APMSUSPEND},
                                       {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND},
                                       {WM_QUERYENDSESSION, 0},
                                       {WM_ENDSESSION, FALSE}})
            for (HWND window :
                 {HWND(frame.GetHWND()), ::FindWindowW(L"SentakSessionWatch", nullptr)})
                ::SendMessageW(window, message, wParam, 0);
    EXPECT_EQ(heard, "sleeping resumed ending close cancelled close ");
}
