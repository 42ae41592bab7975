#include "StderrLine.h"

#include <cerrno>
#include <unistd.h>

void WriteStderrLine(const std::string& utf8)
{
    std::string line = utf8 + "\n";
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0)
    {
        ssize_t n = write(STDERR_FILENO, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= static_cast<size_t>(n);
    }
}

void WriteStderrLine(const wxString& text)
{
    WriteStderrLine(text.utf8_string());
}

void CStderrLog::DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&)
{
    // Status, progress and debugging lines are for windows and debuggers only.
    if (level > wxLOG_Message)
        return;
    if (level <= wxLOG_Warning)
        ++m_errors;
    WriteStderrLine(msg);
}

CStderrLog* LogToStderr()
{
    auto* log = new CStderrLog;
    delete wxLog::SetActiveTarget(log);
    return log;
}
