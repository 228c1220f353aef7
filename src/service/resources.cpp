#include "service/resources.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>

wxString ResourcesBaseDir() {
    const wxFileName exe(wxStandardPaths::Get().GetExecutablePath());
    wxFileName beside = wxFileName::DirName(exe.GetPath());
    beside.AppendDir("Resources");
    if (beside.DirExists()) return exe.GetPath();
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
