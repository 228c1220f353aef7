#include <algorithm>
#include <vector>

#include <wx/file.h>
#include <wx/filename.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>
#include <wx/intl.h>
#include <wx/notifmsg.h>
#include <wx/taskbar.h>
#include <wx/utils.h>

#include "base/little_endian.h"
#include "platform/platform.h"
#include "platform/windows/event_view.h"
#include "platform/windows/service_manager.h"
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

void PrepareNotifications(wxTaskBarIcon& icon) {
    // Does nothing in a toolkit built without WinRT, as MinGW builds it: every notification is
    // then the icon's balloon. Kept for a toolkit that can show toasts of its own.
    wxNotificationMessage::MSWUseToasts();
    wxNotificationMessage::UseTaskBarIcon(&icon);
}

wxString NotificationBody(const wxString& message) { return message; }

bool NotificationsHaveButtons() { return false; }

// A balloon is always shown as one; its information image stays as the toolkit draws it.
void PrepareBriefNotices(wxNotificationMessage&) {}

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

wxString ManageServicesLabel() {
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    return _("&Manage Windows services");
}

// The console lists every service; it takes no name to open on.
wxString ServiceManagerCommand(const wxString&) { return "services.msc"; }

bool StartServiceManager(const wxString& service) {
    // The shell finds services.msc on the system path itself.
    return wxLaunchDefaultApplication(ServiceManagerCommand(service), 0);
}

// The viewer's own console, on every log; the user filters it by hand.
wxString ServiceLogCommand(const wxString&) { return "eventvwr.msc"; }

bool StartServiceLog(const wxString& service) {
    // The manager's entries name the service by its display name; its name does when it has none.
    wxString displayName = service;
    const UniqueServiceHandle manager = OpenServiceManager();
    wchar_t name[257];  // the longest display name, 256 characters, and its end
    DWORD length = 257;
    if (manager.valid() && ::GetServiceDisplayNameW(manager.get(), service.wc_str(), name, &length))
        displayName = name;
    // A view file rather than a filter on the command line: Event Viewer's own format for a saved
    // view, free of the quoting a query would need, and one file that is rewritten each time.
    const wxString path = wxFileName::GetTempDir() + "\\" + service + "-log.xml";
    wxFile view;
    if (!view.Create(path, true) || !view.Write(ServiceLogView(service, displayName), wxConvUTF8))
        return false;
    view.Close();
    // Event Viewer asks for the highest rights the user has; the log of a service is readable
    // without them, and the shim keeps it at the user's own rights, without a consent prompt.
    wxExecuteEnv env;
    wxGetEnvMap(&env.env);
    env.env["__COMPAT_LAYER"] = "RunAsInvoker";
    return wxExecute("eventvwr.exe /v:\"" + path + "\"", wxEXEC_ASYNC, nullptr, &env) != 0;
}

void StartBrowser(const wxString& url, std::function<void()> failed) {
    if (!wxLaunchDefaultBrowser(url, wxBROWSER_NEW_WINDOW)) failed();
}

bool ShiftKeyReadable() { return true; }

wxString WhereTheIconIs() {
    return _(
        // TRANSLATORS: Body of the notification when Sentak is started while it runs already,
        // shown from its icon; "Show hidden icons" is the name Windows gives that arrow.
        "Its icon is in the notification area of the taskbar. If you do not see it, "
        "click the arrow \"Show hidden icons\" beside the notification area.");
}
