#include "BenchGuiSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "CCSVQuibboAppApp.h"

double BenchGuiCommandSeconds(const std::string& commandLine)
{
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe)
        return -1;
    std::string out;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    if (pclose(pipe) != 0)
        return -1;
    const size_t at = out.find("\"seconds\":");
    return at == std::string::npos ? -1 : std::atof(out.c_str() + at + 10);
}

CCSVQuibboAppApp* BenchGuiStartApp(const char* tempName, char** argv, std::string& home)
{
    home = std::string("/tmp/") + tempName + "-XXXXXX";
    if (!mkdtemp(home.data()))
        return nullptr;
    for (const char* sub : {"/config", "/run", "/data"})
        mkdir((home + sub).c_str(), 0700);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);

    auto* app = new CCSVQuibboAppApp;
    wxApp::SetInstance(app);
    int wxArgc = 1;
    if (!wxEntryStart(wxArgc, argv))
    {
        std::fprintf(stderr, "csvq-bench-gui needs a display (run it under xvfb-run).\n");
        return nullptr;
    }
    delete wxLog::SetActiveTarget(new wxLogStderr);
    return app;
}

void BenchGuiEndApp(CCSVQuibboAppApp* app, const std::string& home)
{
    app->OnExit();
    wxEntryCleanup();
    const std::string cleanup = "rm -rf '" + home + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "csvq-bench-gui: could not remove %s\n", home.c_str());
}

void BenchGuiPump(int ms)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    do
    {
        wxYield();
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        usleep(2000);
    } while (Clock::now() < end);
}

namespace {
long long StatusBytes(const char* key)
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long long kb = -1;
    const size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, key, keyLength) == 0)
            kb = std::atoll(line + keyLength);
    std::fclose(status);
    return kb < 0 ? -1 : kb * 1024;
}
} // namespace

long long BenchGuiPeakRssBytes()
{
    return StatusBytes("VmHWM:");
}

long long BenchGuiRssBytes()
{
    return StatusBytes("VmRSS:");
}
