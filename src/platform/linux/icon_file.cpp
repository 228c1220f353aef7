#include "platform/icon_file.h"

#include <sys/stat.h>

#include <algorithm>

#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/mstream.h>
#include <wx/vector.h>
#include <wx/wfstream.h>

std::optional<FileStamp> StampOf(const wxString& path) {
    struct stat info {};
    if (::stat(path.fn_str(), &info) != 0) return std::nullopt;
    FileStamp stamp;
    stamp.volume = info.st_dev;
    stamp.file = info.st_ino;
    stamp.size = std::uint64_t(info.st_size);
    stamp.modified = {info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    stamp.changed = {info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
    return stamp;
}

wxBitmapBundle LoadIconFile(const wxString& path) {
    // Decoded by the toolkit's own handlers rather than through wxIcon: that goes to GTK's .ico
    // loader, which returns noise for files whose PNG-stored image is not the first, as common
    // tools write them. The large image of a modern icon is stored as PNG.
    static const bool handlersAdded = [] {
        if (!wxImage::FindHandler(wxBITMAP_TYPE_ICO)) wxImage::AddHandler(new wxICOHandler);
        if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
        return true;
    }();
    (void)handlersAdded;

    // The sizes from the tray's image size up: GTK shows a bundle's smallest image, which should
    // fill the tray as the toolkit's art does; a smaller one only when the file has no other.
    constexpr int kTrayImageSize = 32;
    wxVector<wxBitmap> fitting, small;
    // Read from disk once; the decoder then walks the file's directory again for each image.
    wxFFileInputStream file(path);
    if (!file.IsOk()) return wxBitmapBundle();
    wxMemoryOutputStream bytes;
    bytes.Write(file);
    wxMemoryInputStream icon(bytes);
    // The count is whatever the file's header claims, and each image is found by reading the
    // whole directory again: a file claiming thousands would hold up the tick for seconds. Real
    // icons hold a handful of images.
    constexpr int kMostImages = 32;
    const int count = std::min(wxImage::GetImageCount(icon, wxBITMAP_TYPE_ICO), kMostImages);
    for (int index = 0; index < count; ++index) {
        wxImage image;
        icon.SeekI(0);
        if (!image.LoadFile(icon, wxBITMAP_TYPE_ICO, index)) continue;
        // The toolkit's tray leaks a copy of a masked image at every SetIcon (wxGTK 3.2), that
        // is 4 KiB every 2 s; alpha says the same. A 32-bit image's alpha already holds what its
        // mask does, as Windows reads it.
        if (image.HasMask()) {
            if (image.HasAlpha())
                image.SetMask(false);
            else
                image.InitAlpha();  // takes the mask over into alpha
        }
        wxVector<wxBitmap>& into = image.GetWidth() >= kTrayImageSize ? fitting : small;
        const bool sizeKnown = std::any_of(into.begin(), into.end(), [&](const wxBitmap& known) {
            return known.GetSize() == image.GetSize();
        });
        if (!sizeKnown) into.push_back(wxBitmap(image));
    }
    if (fitting.empty() && !small.empty())
        fitting.push_back(*std::max_element(
            small.begin(), small.end(),
            [](const wxBitmap& a, const wxBitmap& b) { return a.GetWidth() < b.GetWidth(); }));
    return wxBitmapBundle::FromBitmaps(fitting);
}
