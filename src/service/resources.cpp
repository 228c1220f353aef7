#include "service/resources.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace {

// Asked once: the toolkit reads /proc/self/exe for it each time, and a running tick asks for
// the service's icon every 2 s; the executable does not move while it runs.
const wxString& ExecutableDir() {
    static const wxString dir = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
    return dir;
}

}  // namespace

wxString ResourcesBaseDir() {
    wxFileName beside = wxFileName::DirName(ExecutableDir());
    beside.AppendDir("Resources");
    if (beside.DirExists()) return ExecutableDir();
    return wxStandardPaths::Get().GetResourcesDir();
}

wxString ResourcePath(const wxString& subDir, const wxString& fullName) {
    wxFileName path(ResourcesBaseDir(), wxEmptyString);
    path.AppendDir("Resources");
    if (!subDir.empty()) path.AppendDir(subDir);
    path.SetFullName(fullName);
    return path.GetFullPath();
}

wxString IconThemeDir() {
    wxFileName dir = wxFileName::DirName(ResourcePath("Icons", "theme"));
    if (!dir.DirExists()) return {};
    dir.MakeAbsolute();
    return dir.GetPath();
}
