#pragma once

// The service's icon file, as this system reads and decodes it; one implementation file per OS.

#include <optional>

#include <wx/bmpbndl.h>
#include <wx/string.h>

#include "base/file_stamp.h"

// The first icon of the .ico file at path, for the tray, in every size the file holds, so that
// the tray is given the file's own image for its size; not IsOk() when it cannot be read. What
// the toolkit logs on the way is the caller's to silence.
wxBitmapBundle LoadIconFile(const wxString& path);

// The stamp of the file at path now; none when it cannot be looked at (missing, say).
std::optional<FileStamp> StampOf(const wxString& path);
