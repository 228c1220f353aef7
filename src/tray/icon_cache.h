#pragma once

#include <optional>

#include <wx/bmpbndl.h>
#include <wx/string.h>

#include "platform/icon_file.h"

// An icon file's image, decoded again only when the file changed. Decoding is nearly all a
// running tick costs, every 2 s; and an unchanged file gives the tray the very same image.
class IconFileCache {
public:
    // The icon of the file at path: the same bundle while the file stays as it was at the last
    // decoding; not IsOk() when it cannot be read, as LoadIconFile gives it.
    const wxBitmapBundle& Get(const wxString& path);

    // How often a file was decoded.
    int Decodings() const { return m_decodings; }

private:
    wxString m_path;
    std::optional<FileStamp> m_stamp;  // of the file as decoded; none when it was not there
    wxBitmapBundle m_icon;
    int m_decodings = 0;
};
