#include <wx/icon.h>
#include <wx/iconloc.h>
#include <wx/intl.h>
#include <wx/notifmsg.h>
#include <wx/taskbar.h>
#include <wx/utils.h>

#include "platform/platform.h"
#include "platform/unique_handle_windows.h"

namespace {

// 100 ns intervals, as the system keeps file times.
FileStamp::Time TimeOf(const LARGE_INTEGER& ticks) {
    constexpr std::int64_t kPerSecond = 10'000'000;
    return {ticks.QuadPart / kPerSecond, ticks.QuadPart % kPerSecond * 100};
}

}  // namespace

void ShowNotification(wxTaskBarIcon& icon, const wxString& title, const wxString& message) {
    wxNotificationMessage::MSWUseToasts();
    wxNotificationMessage::UseTaskBarIcon(&icon);
    // Left alive on purpose: it may still be a balloon of the tray icon after this returns, and
    // closing it is the user's business.
    auto* notification =
        new wxNotificationMessage(title, NotificationBody(message), nullptr, wxICON_WARNING);
    notification->Show(wxNotificationMessage::Timeout_Never);
}

wxString NotificationBody(const wxString& message) { return message; }

wxBitmapBundle LoadIconFile(const wxString& path) {
    // The system picks the image of icon 0 that suits the tray's size.
    return wxBitmapBundle(wxIcon(wxIconLocation(path, 0)));
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

wxString ManageServicesLabel() {
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    return _("&Manage Windows services");
}

wxString ServiceManagerCommand() { return "services.msc"; }

bool StartServiceManager() {
    // The shell finds services.msc on the system path itself.
    return wxLaunchDefaultApplication(ServiceManagerCommand(), 0);
}

void StartBrowser(const wxString& url, std::function<void()> failed) {
    if (!wxLaunchDefaultBrowser(url, wxBROWSER_NEW_WINDOW)) failed();
}

bool ShiftKeyReadable() { return true; }
