// Lines for whoever reads the viewer's standard error. They are written as UTF-8 bytes straight to
// file descriptor 2, never through wide stdio: once the toolkit has written to stderr with narrow
// stdio, a wide write to the same stream fails (and the other way round), and the line is lost.
#pragma once

#include <string>

#include <wx/log.h>
#include <wx/string.h>

// Writes `text` and a newline in one write; a short write is completed, a failure is ignored.
void WriteStderrLine(const std::string& utf8);
void WriteStderrLine(const wxString& text);

// wx's log target for the times no window can show a message: before the first window, once the
// main window is gone, and for command-line actions that end the process. Each message is one
// line on the standard error, never a box. Errors and warnings are counted.
class CStderrLog : public wxLog
{
public:
    int GetErrorCount() const { return m_errors; }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo& info) override;

private:
    int m_errors = 0;
};

// Makes a CStderrLog the active log target (wx deletes the one it replaces) and returns it.
CStderrLog* LogToStderr();
