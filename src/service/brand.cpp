#include "service/brand.h"

#include <string>

#include <wx/file.h>
#include <wx/log.h>

#include "platform/service_control.h"
#include "service/resources.h"
#include "service/text_decoding.h"

namespace {

const wxString kDefaultProductName = "Vantora 3";
constexpr size_t kReadLimit = 1024;

// The text of the brand file at path, at most kReadLimit bytes; empty when there is none.
std::string ReadBrandFile(const wxString& path) {
    // A missing brand file is the ordinary case that the defaults are for; the toolkit's own
    // report of it would be an error box at every start.
    wxLogNull quiet;
    wxFile file;
    if (!file.Open(path, wxFile::read)) return {};
    char buffer[kReadLimit] = {};
    const ssize_t got = file.Read(buffer, kReadLimit);
    return got == wxInvalidOffset ? std::string() : std::string(buffer, size_t(got));
}

// The value under key, up to the next quote; empty when there is none. Only the exact spelling
// "key": "value" counts: the file is searched, not parsed as JSON.
wxString BrandValue(const char* bytes, size_t size, const char* key) {
    const wxString text = DecodeUtf8(bytes, size);
    const wxString prefix = wxString::Format("\"%s\": \"", key);
    const int at = text.Find(prefix);
    if (at == wxNOT_FOUND) return wxString();
    return text.Mid(at + prefix.length()).BeforeFirst('"');
}

// Resources/brand.json's text, read once for both names.
const std::string& BrandText() {
    static const std::string text = ReadBrandFile(ResourcePath(wxEmptyString, "brand.json"));
    return text;
}

}  // namespace

const wxString& GetProductName() {
    static const wxString name = ParseProductName(BrandText().data(), BrandText().size());
    return name;
}

const wxString& GetServiceName() {
    static const wxString name = ParseServiceName(BrandText().data(), BrandText().size());
    return name;
}

wxString ParseServiceName(const char* bytes, size_t size) {
    const wxString name = BrandValue(bytes, size, "servicename");
    return IsValidServiceName(name) ? name : DefaultServiceName();
}

wxString ReadProductNameFrom(const wxString& path) {
    const std::string text = ReadBrandFile(path);
    return ParseProductName(text.data(), text.size());
}

wxString ParseProductName(const char* bytes, size_t size) {
    const wxString name = BrandValue(bytes, size, "productname");
    // Shown in tooltips, the menu and notifications, all one line each.
    return name.empty() ? kDefaultProductName : OneLine(name);
}
