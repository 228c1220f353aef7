#include <gtest/gtest.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>

#include <string>

#include "service/brand.h"

namespace {

const wxString kDefault = "Vantora 3";

// A scratch folder that is removed with everything in it.
class ScratchDir {
public:
    ScratchDir() : m_path(wxFileName::CreateTempFileName("sentak-brand")) {
        wxRemoveFile(m_path);
        wxFileName::Mkdir(m_path);
    }
    ~ScratchDir() { wxFileName::Rmdir(m_path, wxPATH_RMDIR_RECURSIVE); }
    wxString Write(const std::string& bytes, const wxString& name = "brand.json") const {
        const wxString path = m_path + "/" + name;
        wxFFile(path, "wb").Write(bytes.data(), bytes.size());
        return path;
    }
    const wxString& Path() const { return m_path; }

private:
    wxString m_path;
};

wxString NameFrom(const std::string& bytes) {
    return ReadProductNameFrom(ScratchDir().Write(bytes));
}

// Counts what reaches the active log target while it lives.
class LogCounter : public wxLog {
public:
    LogCounter() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~LogCounter() override { wxLog::SetActiveTarget(m_previous); }
    int records = 0;

protected:
    void DoLogRecord(wxLogLevel, const wxString&, const wxLogRecordInfo&) override { ++records; }

private:
    wxLog* m_previous;
};

}  // namespace

TEST(BrandFile, TakesTheValueAfterTheExactKeySequence) {
    EXPECT_EQ(NameFrom("{\n  \"productname\": \"Acme Recorder\"\n}\n"), "Acme Recorder");
    EXPECT_EQ(NameFrom("{\"other\": 1, \"productname\": \"X\"}"), "X");
    // Spacing and case variants of the key do not count.
    EXPECT_EQ(NameFrom("{\"productname\":\"Acme\"}"), kDefault);
    EXPECT_EQ(NameFrom("{\"productname\" : \"Acme\"}"), kDefault);
    EXPECT_EQ(NameFrom("{\"productname\":  \"Acme\"}"), kDefault);
    EXPECT_EQ(NameFrom("{\"ProductName\": \"Acme\"}"), kDefault);
}

TEST(BrandFile, KeepsTheValueAsWritten) {
    EXPECT_EQ(NameFrom("\"productname\": \"\""), kDefault);
    EXPECT_EQ(NameFrom("\"productname\": \"  Acme  \""), "  Acme  ");
    EXPECT_EQ(NameFrom("\"productname\": \"   \""), "   ");
    // No JSON unescaping: an escaped quote ends the name, backslash included.
    EXPECT_EQ(NameFrom("\"productname\": \"Acme \\\"Pro\\\"\""), "Acme \\");
    EXPECT_EQ(NameFrom("\"productname\": \"First\", \"productname\": \"Second\""), "First");
    EXPECT_EQ(NameFrom("\"productname\": \"100% & more\""), "100% & more");
}

TEST(BrandFile, ReadsOnlyTheFirst1024Bytes) {
    const std::string key = "\"productname\": \"";
    // A key that ends exactly at byte 1024 has nothing after it; four bytes more and it has.
    EXPECT_EQ(NameFrom(std::string(1024 - key.size(), ' ') + key + "Late\""), kDefault);
    EXPECT_EQ(NameFrom(std::string(1024 - key.size() - 4, ' ') + key + "Late\""), "Late");
    // A key that straddles the limit is not found.
    EXPECT_EQ(NameFrom(std::string(1020, ' ') + key + "Late\""), kDefault);
    // An unterminated value runs to the end of what was read, and no further.
    const wxString name = NameFrom(key + std::string(2000, 'n'));
    EXPECT_EQ(name, wxString(1024 - key.size(), 'n'));
}

TEST(BrandFile, DecodesUtf8AndReplacesWhatIsNot) {
    EXPECT_EQ(NameFrom("\"productname\": \"Caf\xC3\xA9 \xF0\x9F\x93\xB9\""),
              wxString::FromUTF8("Caf\xC3\xA9 \xF0\x9F\x93\xB9"));
    EXPECT_EQ(NameFrom("\"productname\": \"A\xFF"
                       "B\xC3\""),
              wxString::FromUTF8("A\xEF\xBF\xBD"
                                 "B\xEF\xBF\xBD"));
    // A character cut by the 1024-byte limit becomes one U+FFFD; the rest of the name stays.
    const std::string key = "\"productname\": \"";
    const std::string text = key + std::string(1024 - key.size() - 1, 'a') + "\xC3\xA9\"";
    const wxString name = NameFrom(text);
    ASSERT_EQ(name.length(), 1024 - key.size());
    EXPECT_EQ(name.Last(), wxUniChar(0xFFFD));
}

TEST(BrandFile, FallsBackToTheDefaultQuietly) {
    LogCounter log;
    const ScratchDir dir;
    EXPECT_EQ(ReadProductNameFrom(dir.Path() + "/missing.json"), kDefault);
    EXPECT_EQ(ReadProductNameFrom(dir.Path()), kDefault);  // a folder, not a file
    EXPECT_EQ(NameFrom(""), kDefault);
    EXPECT_EQ(NameFrom("{}"), kDefault);
    EXPECT_EQ(NameFrom(std::string("\0\"productname\": \"Hidden\"", 25)), kDefault);
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) % 251 + 1);
    EXPECT_EQ(NameFrom(binary), kDefault);
    // The toolkit's report of a missing file would be an error box at every start.
    EXPECT_EQ(log.records, 0);
}

TEST(BrandFile, IsReadFromResourcesBesideTheExecutableOncePerProcess) {
    const wxFileName exe(wxStandardPaths::Get().GetExecutablePath());
    const wxString resources = exe.GetPath() + "/Resources";
    ASSERT_FALSE(wxFileName::DirExists(resources)) << "left over from an earlier run";
    ASSERT_TRUE(wxFileName::Mkdir(resources));
    auto write = [&](const char* text) { wxFFile(resources + "/brand.json", "w").Write(text); };

    write("{\"productname\": \"Acme Recorder\"}");
    const wxString first = GetProductName();
    write("{\"productname\": \"Changed\"}");
    const wxString second = GetProductName();
    wxFileName::Rmdir(resources, wxPATH_RMDIR_RECURSIVE);

    EXPECT_EQ(first, "Acme Recorder");
    EXPECT_EQ(second, "Acme Recorder");
    EXPECT_EQ(&GetProductName(), &GetProductName());
}
