#pragma once

#include <wx/string.h>

// The folder that holds Resources/ and languages/: the executable's own folder when Resources/
// is there (a portable or Windows installation, or the build tree), otherwise the toolkit's
// resources folder of an installed program (for example /usr/share/sentak).
wxString ResourcesBaseDir();

// Native path of a file below Resources/; subDir may be empty, as for "brand.json".
wxString ResourcePath(const wxString& subDir, const wxString& fullName);

// The absolute folder of images named as the desktop theme's icons that the tray sets, for hosts
// whose theme lacks them; empty where the installation has none.
wxString IconThemeDir();
