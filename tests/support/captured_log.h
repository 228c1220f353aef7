#pragma once

#include <vector>

#include <wx/log.h>

// Every log record of every level, for as long as it lives.
class CapturedLog : public wxLog {
public:
    CapturedLog() : m_previous(wxLog::SetActiveTarget(this)), m_level(wxLog::GetLogLevel()) {
        wxLog::SetLogLevel(wxLOG_Max);
    }
    ~CapturedLog() override {
        wxLog::SetActiveTarget(m_previous);
        wxLog::SetLogLevel(m_level);
    }
    std::vector<wxString> records;

protected:
    void DoLogRecord(wxLogLevel, const wxString& message, const wxLogRecordInfo&) override {
        records.push_back(message);
    }

private:
    wxLog* m_previous;
    wxLogLevel m_level;
};
