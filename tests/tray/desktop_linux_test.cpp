#include <gtest/gtest.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include "tray/desktop.h"

// xdg-open starts without waiting, so the toolkit alone would call any launch a success and
// the service manager's failure box, which tells the user what to run, would never show.
TEST(LinuxDesktop, ADocumentThatDoesNotExistIsNotReportedAsOpened) {
    const wxString cwd = wxGetCwd();
    wxSetWorkingDirectory(wxFileName::GetTempDir());
    const bool opened = DefaultDesktop().LaunchDocument("services.msc");
    wxSetWorkingDirectory(cwd);
    EXPECT_FALSE(opened);
}
