#include "tray/icon_cache.h"

const wxBitmapBundle& IconFileCache::Get(const wxString& path) {
    // Taken before the decoding: a file that changes during it differs at the next call.
    const std::optional<FileStamp> stamp = StampOf(path);
    if (stamp && m_stamp && *stamp == *m_stamp && path == m_path) return m_icon;
    m_icon = LoadIconFile(path);
    m_path = path;
    m_stamp = stamp;
    ++m_decodings;
    return m_icon;
}
