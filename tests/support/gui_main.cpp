// Runs the GUI tests inside a real wxApp (under Xvfb in CI); no main loop runs unless a test
// starts one.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

namespace {
class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }  // no command-line parsing of gtest's arguments
};
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new TestApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 1;
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
