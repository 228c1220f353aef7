#include "platform/icon_file.h"

#include <algorithm>
#include <vector>

#include <wx/file.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>

#include "base/little_endian.h"
#include "platform/windows/unique_handle.h"

namespace {

// The sizes of the images of the icon file at path, when its directory and images lie inside
// it; none otherwise. The system's decoder trusts the directory: a file of a few bytes that claims
// thousands of images has brought the program down (under Wine, at least).
std::vector<int> WholeIconFileSizes(const wxString& path) {
    wxFile file;
    std::uint8_t header[6];
    if (!file.Open(path) || file.Read(header, sizeof header) != sizeof header ||
        LittleEndian(header, 4) != 0x10000)  // reserved 0, type 1: an icon
        return {};
    const std::size_t count = LittleEndian(header + 4, 2), size = std::size_t(file.Length());
    std::vector<std::uint8_t> entries(16 * count);
    if (count == 0 || file.Read(entries.data(), entries.size()) != ssize_t(entries.size()))
        return {};
    std::vector<int> sizes;
    for (std::size_t at = 0; at < entries.size(); at += 16) {
        if (std::uint64_t(LittleEndian(&entries[at + 12], 4)) + LittleEndian(&entries[at + 8], 4) >
            size)
            return {};
        // Square images only, as icons are drawn; a width of 0 stands for 256.
        const int width = entries[at] ? entries[at] : 256;
        if (std::find(sizes.begin(), sizes.end(), width) == sizes.end()) sizes.push_back(width);
    }
    return sizes;
}

// A file time, which the system keeps in 100 ns intervals, as seconds and nanoseconds.
FileStamp::Time TimeOf(const LARGE_INTEGER& ticks) {
    constexpr std::int64_t kPerSecond = 10'000'000;
    return {ticks.QuadPart / kPerSecond, ticks.QuadPart % kPerSecond * 100};
}

}  // namespace

wxBitmapBundle LoadIconFile(const wxString& path) {
    // One icon per size, each the file's own image of that size as the system decodes it (PNG
    // images included), so that the toolkit picks the tray's size rather than shrinking one.
    wxIconBundle icons;
    for (const int size : WholeIconFileSizes(path)) {
        const HANDLE image =
            ::LoadImageW(nullptr, path.wc_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE);
        if (!image) continue;
        wxIcon icon;
        if (icon.CreateFromHICON(static_cast<HICON>(image)))
            icons.AddIcon(icon);
        else
            ::DestroyIcon(static_cast<HICON>(image));
    }
    if (icons.IsEmpty()) return wxBitmapBundle();
    return wxBitmapBundle::FromIconBundle(icons);
}

std::optional<FileStamp> StampOf(const wxString& path) {
    // Opened for its attributes only, sharing everything, so that no writer is ever held up.
    const UniqueHandle file(::CreateFileW(path.wc_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info) ||
        !::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &times, sizeof(times)))
        return std::nullopt;
    FileStamp stamp;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.file = std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    stamp.size = std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    stamp.modified = TimeOf(times.LastWriteTime);
    stamp.changed = TimeOf(times.ChangeTime);
    return stamp;
}
