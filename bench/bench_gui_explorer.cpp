// csvq-bench-gui explorer DIR [--screenshot OUT.png] [--runs N]: the explorer window, timed.
// Hosts the real explorer window (800 x 600) in a frame under the viewer's application object,
// runs `csvq-bench explore DIR` (the listing worker alone, as the reference) and then, N times
// (default 3), lists DIR in the window and times, printing one JSON object with the medians:
//   - fillSeconds: from the navigation to the end of the first paint of the filled list;
//   - searchKeyMedianMs / searchKeyP95Ms: a keystroke in the search box, to the end of the
//     list's paint (the search and the refill included);
//   - longestGapMs: the longest gap between the ticks of a 5 ms timer during the listing (how
//     long the window stopped answering);
//   - peakRssBytes.
// With --screenshot it lists DIR once and saves a picture of the window instead.
// Needs a display: run it under xvfb-run. Settings go to a private temporary home.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/timer.h>

#include "BenchGuiSupport.h"
#include "CCSVQuibboAppApp.h"
#include "ExplorerPathCodec.h"
#include "ExplorerServices.h"
#include "LSkorrelFileExplorerList.h"
#include "LSkorrelFileExplorerParentWnd.h"

#ifndef CSVQ_BENCH_EXE
#define CSVQ_BENCH_EXE "csvq-bench"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Percentile95(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

// The "seconds" of `csvq-bench explore DIR`, or a negative value.
double RunWorkerListing(const std::string& benchExe, const std::string& folder)
{
    return BenchGuiCommandSeconds("'" + benchExe + "' explore '" + folder + "' 2>/dev/null");
}

// Sees the paints of the list's row window and lets each run to its end before noting the time.
class ListPaintWatch : public wxEventFilter
{
public:
    explicit ListPaintWatch(wxWindow* rows)
        : m_rows(rows)
    {}
    int FilterEvent(wxEvent& event) override
    {
        if (m_inside || event.GetEventType() != wxEVT_PAINT || event.GetEventObject() != m_rows)
            return Event_Skip;
        m_inside = true;
        m_rows->GetEventHandler()->ProcessEvent(event);
        m_inside = false;
        ++paints;
        lastPaintEnd = Clock::now();
        return Event_Processed;
    }
    long paints = 0;
    Clock::time_point lastPaintEnd;

private:
    wxWindow* m_rows;
    bool m_inside = false;
};

// Runs the event loop as the application's own loop does (sleeping while nothing happens) until
// the condition holds; false after ms.
template <class F>
bool PumpUntil(F condition, int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (!condition())
    {
        if (Clock::now() > end)
            return false;
        if (loop)
            loop->DispatchTimeout(2);
        else
            wxYield();
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }
    return true;
}

struct FillResult
{
    bool ok = false;
    double fillSeconds = -1;
    double longestGapMs = -1;
    size_t rows = 0;
};

// Lists the folder and waits for the filled list's paint; a 5 ms timer measures the gaps.
FillResult TimeFill(LSkorrelFileExplorerParentWnd& explorer, ListPaintWatch& watch,
                    const std::u16string& folder)
{
    FillResult result;
    LSkorrelFileExplorerList* list = explorer.GetList();
    wxTimer ticker;
    Clock::time_point lastTick = Clock::now();
    double longest = 0;
    ticker.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        const Clock::time_point now = Clock::now();
        longest = std::max(longest, Ms(lastTick, now));
        lastTick = now;
    });
    const Clock::time_point start = Clock::now();
    lastTick = start;
    ticker.Start(5);
    explorer.NavigateToFolder(&folder, true);
    const bool filled =
        PumpUntil([&] { return !list->IsListingRunning() && explorer.GetSearchBox()->IsEnabled(); }, 600000);
    const long paintsAfterFill = watch.paints;
    list->Refresh();
    const bool painted = filled && PumpUntil([&] { return watch.paints != paintsAfterFill; }, 5000);
    ticker.Stop();
    longest = std::max(longest, Ms(lastTick, Clock::now()));
    result.ok = painted;
    result.fillSeconds = painted ? Ms(start, watch.lastPaintEnd) / 1000.0 : -1;
    result.longestGapMs = longest;
    result.rows = static_cast<size_t>(list->GetItemCount());
    return result;
}

// Keystrokes in the search box: typing a name piece by piece, then taking it back.
std::vector<double> TimeSearchKeys(LSkorrelFileExplorerParentWnd& explorer, ListPaintWatch& watch)
{
    std::vector<double> times;
    LSkorrelFileExplorerList* list = explorer.GetList();
    wxTextCtrl* search = explorer.GetSearchBox();
    // What is typed: the start of the middle row's name, one key at a time, then erased.
    std::u16string name = list->GetRowText(list->GetItemCount() / 2);
    if (name.size() > 8)
        name.resize(8);
    std::vector<std::u16string> texts;
    for (size_t n = 1; n <= name.size(); ++n)
        texts.push_back(name.substr(0, n));
    for (size_t n = name.size(); n-- > 0;)
        texts.push_back(name.substr(0, n));
    for (int round = 0; round < 3; ++round)
        for (const std::u16string& text : texts)
        {
            const long before = watch.paints;
            const Clock::time_point start = Clock::now();
            search->SetValue(
                wxString(reinterpret_cast<const wchar_t*>(std::wstring(text.begin(), text.end()).c_str())));
            list->Update();
            if (watch.paints == before)
                PumpUntil([&] { return watch.paints != before; }, 2000);
            times.push_back(Ms(start, watch.paints != before ? watch.lastPaintEnd : Clock::now()));
        }
    return times;
}

bool SaveScreenshot(wxWindow* window, const std::string& path)
{
    window->Raise();
    window->Refresh();
    window->Update();
    BenchGuiPump(300);
    const wxRect rect = window->GetScreenRect();
    wxBitmap bitmap(rect.width, rect.height, 24);
    {
        wxScreenDC screen;
        wxMemoryDC memory(bitmap);
        memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    }
    return bitmap.ConvertToImage().SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG);
}

} // namespace

int RunExplorerBench(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr,
                     "usage: csvq-bench-gui explorer DIR [--screenshot OUT.png] [--runs N] [--bench PATH]\n"
                     "      under xvfb-run: the explorer window listing DIR, timed (JSON)\n");
        return 2;
    }
    char resolved[PATH_MAX];
    struct stat info
    {};
    if (!realpath(argv[2], resolved) || stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode))
    {
        std::fprintf(stderr, "csvq-bench-gui: %s is not a folder\n", argv[2]);
        return 1;
    }
    const std::string folder = resolved;
    std::string screenshot;
    std::string benchExe = CSVQ_BENCH_EXE;
    int runs = 3;
    for (int i = 3; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--bench") == 0 && i + 1 < argc)
            benchExe = argv[++i];
    }

    std::vector<double> workerSeconds;
    if (screenshot.empty())
        for (int i = 0; i < runs; ++i)
            workerSeconds.push_back(RunWorkerListing(benchExe, folder));

    std::string base;
    CCSVQuibboAppApp* app = BenchGuiStartApp("csvq-bench-explorer", argv, base);
    if (!app)
        return 1;
    wxInitAllImageHandlers();

    int result = 1;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        auto* frame = new wxFrame(nullptr, wxID_ANY, "File explorer", wxPoint(10, 10), wxDefaultSize);
        frame->SetClientSize(800, 600);
        auto* explorer = new LSkorrelFileExplorerParentWnd();
        explorer->Create(frame, wxID_ANY, wxPoint(0, 0), frame->GetClientSize());
        frame->Show();
        BenchGuiPump(300);
        LSkorrelFileExplorerList* list = explorer->GetList();
        ListPaintWatch watch(list ? list->GetListArea() : nullptr);
        wxEvtHandler::AddFilter(&watch);
        const std::u16string folder16 = ExplorerPathFromNative(folder);

        if (!list)
        {
            std::fprintf(stderr, "csvq-bench-gui: the explorer has no list\n");
        }
        else if (!screenshot.empty())
        {
            const FillResult fill = TimeFill(*explorer, watch, folder16);
            // The list in front, as after a click into it.
            list->SetFocus();
            if (explorer->GetFolderPopup())
                explorer->GetFolderPopup()->Hide();
            if (fill.ok && SaveScreenshot(frame, screenshot))
            {
                std::printf(
                    "{\"command\":\"gui-explorer\",\"folder\":\"%s\",\"rows\":%zu,\"screenshot\":\"%s\"}\n",
                    folder.c_str(), fill.rows, screenshot.c_str());
                result = 0;
            }
            else
            {
                std::fprintf(stderr, "csvq-bench-gui: no picture was taken\n");
            }
        }
        else
        {
            std::vector<double> fills, gaps, keys;
            size_t rows = 0;
            bool ok = true;
            for (int i = 0; i < runs && ok; ++i)
            {
                const FillResult fill = TimeFill(*explorer, watch, folder16);
                ok = fill.ok;
                fills.push_back(fill.fillSeconds);
                gaps.push_back(fill.longestGapMs);
                rows = fill.rows;
                BenchGuiPump(100);
                const std::vector<double> times = TimeSearchKeys(*explorer, watch);
                keys.insert(keys.end(), times.begin(), times.end());
            }
            if (ok)
            {
                const double worker = Median(workerSeconds);
                const double fill = Median(fills);
                std::printf("{\"command\":\"gui-explorer\",\"folder\":\"%s\",\"rows\":%zu,\"runs\":%d,"
                            "\"workerSeconds\":%.4f,\"fillSeconds\":%.4f,\"fillToWorker\":%.3f,"
                            "\"searchKeys\":%zu,\"searchKeyMedianMs\":%.3f,\"searchKeyP95Ms\":%.3f,"
                            "\"longestGapMs\":%.3f,\"peakRssBytes\":%lld}\n",
                            folder.c_str(), rows, runs, worker, fill, worker > 0 ? fill / worker : 0.0,
                            keys.size(), Median(keys), Percentile95(keys), Median(gaps),
                            BenchGuiPeakRssBytes());
                result = 0;
            }
            else
            {
                std::fprintf(stderr, "csvq-bench-gui: the list was not filled and painted\n");
            }
        }
        wxEvtHandler::RemoveFilter(&watch);
        frame->Destroy();
        BenchGuiPump(100);
    }
    BenchGuiEndApp(app, base);
    return result;
}
