// Every C++ test runs inside a real wxApp (on Xvfb, or under Wine on Windows); no main loop runs
// unless a test starts one.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <iostream>

namespace {
class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }  // gtest's arguments are not the toolkit's
};
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new TestApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 1;
    wxSetAssertHandler(nullptr);                     // as the program runs
    delete wxLog::SetActiveTarget(new wxLogStderr);  // never a box, not even at the end
    std::wcout.rdbuf(nullptr);  // the refresh's trace lines; the pipe tests read their own
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
