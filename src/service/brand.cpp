#include "service/brand.h"

#include <wx/file.h>
#include <wx/log.h>

#include "service/resources.h"
#include "service/text_decoding.h"

namespace {

const wxString kDefaultProductName = "Vantora 3";
// Only this exact spelling counts: the file is searched, not parsed as JSON.
const wxString kKey = "\"productname\": \"";
constexpr size_t kReadLimit = 1024;

}  // namespace

const wxString& GetProductName() {
    static const wxString name = ReadProductName();
    return name;
}

wxString ReadProductName() {
    return ReadProductNameFrom(ResourcePath(wxEmptyString, "brand.json"));
}

wxString ReadProductNameFrom(const wxString& path) {
    // A missing brand file is the ordinary case that the default is for; the toolkit's own report
    // of it would be an error box at every start.
    wxLogNull quiet;
    wxFile file;
    if (!file.Open(path, wxFile::read)) return kDefaultProductName;
    char buffer[kReadLimit] = {};
    const ssize_t got = file.Read(buffer, kReadLimit);
    if (got == wxInvalidOffset) return kDefaultProductName;

    return ParseProductName(buffer, static_cast<size_t>(got));
}

wxString ParseProductName(const char* bytes, size_t size) {
    const wxString text = DecodeUtf8(bytes, size);
    const int at = text.Find(kKey);
    if (at == wxNOT_FOUND) return kDefaultProductName;
    const wxString name = text.Mid(at + kKey.length()).BeforeFirst('"');
    // Shown in tooltips, the menu and notifications, all one line each.
    return name.empty() ? kDefaultProductName : OneLine(name);
}
