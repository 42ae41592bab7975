// csvq-bench-gui FILE [--seed N]: the viewer itself, timed (`csvq-bench-gui explorer DIR`: the
// explorer window, see bench_gui_explorer.cpp). Runs `csvq-bench index FILE` first
// (the full line index scan on the same file, as the reference), then starts the viewer's
// application object, opens FILE as the open switch does and times, as JSON:
//   - seconds from the open command to the end of the first grid paint that showed rows;
//   - 1,000 wheel steps of one line, 200 page-downs and 20 thumb drags to random positions:
//     median and 95th percentile milliseconds per step, each step from the event to the end of
//     the grid's paint (the document's reads included).
// Memory, in bytes: the process's resident set before the open (the viewer started, no file),
// its peak up to the end of the first paint, and its peak over the whole run (the viewer runs in
// this process; the csvq-bench run is another).
// With --find TEXT, right after the first paint and before the steps: find next for TEXT from the
// top, as F3 does, and the longest time the window did not answer during it (the search runs on
// the window's thread, so that is the whole command, to the end of the paint that follows).
// Needs a display: run it under xvfb-run. Settings go to a private temporary home.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <wx/app.h>
#include <wx/docview.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/window.h>

#include "AppIds.h"
#include "BenchGuiSupport.h"
#include "CCSVQuibboAppApp.h"
#include "CCSVQuibboAppView.h"
#include "CMainFrame.h"
#include "CMessageBoxInterface.h"
#include "CToolbarBoxes.h"
#include "LGridView.h"

#ifndef CSVQ_BENCH_EXE
#define CSVQ_BENCH_EXE "csvq-bench"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Message boxes would block: they go to stderr.
class StderrMessageBoxes : public CMessageBoxInterface
{
public:
    int ShowMessageBox(const wxString& text, long) override
    {
        std::fprintf(stderr, "message: %s\n", text.utf8_str().data());
        return wxOK;
    }
};

// Sees every paint of a grid window and lets it run to its end before noting the time, so that
// a step's time includes the whole paint.
class PaintWatch : public wxEventFilter
{
public:
    int FilterEvent(wxEvent& event) override
    {
        if (m_inside || event.GetEventType() != wxEVT_PAINT)
            return Event_Skip;
        auto* grid = dynamic_cast<LGridView*>(event.GetEventObject());
        if (!grid)
            return Event_Skip;
        m_inside = true;
        grid->GetEventHandler()->ProcessEvent(event);
        m_inside = false;
        ++paints;
        lastPaintEnd = Clock::now();
        lastTopRow = grid->GetTopRow();
        return Event_Processed;
    }

    long paints = 0;
    Clock::time_point lastPaintEnd;
    uint64_t lastTopRow = 0;

private:
    bool m_inside = false;
};

// Lets events run (without sleeping) until the condition holds; false after ms.
template <class F>
bool PumpUntil(F condition, int ms)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!condition())
    {
        if (Clock::now() > end)
            return false;
        wxYield();
        wxTheApp->ProcessPendingEvents();
    }
    return true;
}

// The "seconds" of `csvq-bench index FILE`, or a negative value.
double RunIndexScan(const std::string& benchExe, const std::string& file)
{
    return BenchGuiCommandSeconds("'" + benchExe + "' index '" + file + "'");
}

struct Stats
{
    double median = 0;
    double p95 = 0;
    double max = 0;
};

Stats Summarize(std::vector<double> ms)
{
    Stats s;
    if (ms.empty())
        return s;
    std::sort(ms.begin(), ms.end());
    s.median = ms[ms.size() / 2];
    size_t at = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(ms.size()))) - 1;
    s.p95 = ms[std::min(at, ms.size() - 1)];
    s.max = ms.back();
    return s;
}

class GuiBench
{
public:
    GuiBench(LGridView* grid, PaintWatch& watch)
        : m_grid(grid)
        , m_watch(watch)
    {}

    // One step: the event, then whatever paint it asked for, to its end.
    double Step(wxEvent& event) { return Finish(event, m_watch.paints, Clock::now()); }

    double Finish(wxEvent& event, long before, Clock::time_point start)
    {
        m_grid->GetEventHandler()->ProcessEvent(event);
        m_grid->Update();
        if (m_watch.paints == before)
            PumpUntil([&] { return m_watch.paints != before; }, 200);
        Clock::time_point end = m_watch.paints != before ? m_watch.lastPaintEnd : Clock::now();
        return 1000.0 * Seconds(start, end);
    }

    double Wheel()
    {
        wxMouseEvent event(wxEVT_MOUSEWHEEL);
        event.SetEventObject(m_grid);
        event.m_wheelRotation = -120;
        event.m_wheelDelta = 120;
        event.m_linesPerAction = 1;
        event.m_wheelAxis = wxMOUSE_WHEEL_VERTICAL;
        return Step(event);
    }

    // A click in the scroll bar's trough below the thumb: the toolkit moves the bar by a page,
    // then tells the window.
    double PageDown()
    {
        const int thumb = m_grid->GetScrollThumb(wxVERTICAL);
        const int last = std::max(0, m_grid->GetScrollRange(wxVERTICAL) - thumb);
        const int position = std::min(last, m_grid->GetScrollPos(wxVERTICAL) + thumb);
        long before = m_watch.paints;
        Clock::time_point start = Clock::now();
        m_grid->SetScrollPos(wxVERTICAL, position);
        wxScrollWinEvent event(wxEVT_SCROLLWIN_PAGEDOWN, position, wxVERTICAL);
        event.SetEventObject(m_grid);
        return Finish(event, before, start);
    }

    double Scroll(wxEventType type, int position = 0)
    {
        wxScrollWinEvent event(type, position, wxVERTICAL);
        event.SetEventObject(m_grid);
        return Step(event);
    }

    // A drag of the thumb to a position: one track move and the release.
    double Drag(int position)
    {
        long before = m_watch.paints;
        Clock::time_point start = Clock::now();
        // The toolkit has moved the thumb before it reports the drag.
        m_grid->SetScrollPos(wxVERTICAL, position);
        for (wxEventType type : {wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_THUMBRELEASE})
        {
            wxScrollWinEvent event(type, position, wxVERTICAL);
            event.SetEventObject(m_grid);
            m_grid->GetEventHandler()->ProcessEvent(event);
            m_grid->Update();
        }
        if (m_watch.paints == before)
            PumpUntil([&] { return m_watch.paints != before; }, 500);
        Clock::time_point end = m_watch.paints != before ? m_watch.lastPaintEnd : Clock::now();
        return 1000.0 * Seconds(start, end);
    }

private:
    LGridView* m_grid;
    PaintWatch& m_watch;
};

LGridView* FindGrid(wxDocManager* manager)
{
    if (!manager)
        return nullptr;
    for (wxDocument* doc : manager->GetDocumentsVector())
        for (wxView* view : doc->GetViewsVector())
            if (auto* csvView = dynamic_cast<CCSVQuibboAppView*>(view))
                return csvView->GetGrid();
    return nullptr;
}

void PrintStats(const char* name, const Stats& s, size_t steps, bool last)
{
    std::printf("\"%s\":{\"steps\":%zu,\"medianMs\":%.3f,\"p95Ms\":%.3f,\"maxMs\":%.3f}%s", name, steps,
                s.median, s.p95, s.max, last ? "" : ",");
}

} // namespace

// csvq-bench-gui explorer DIR ...: the explorer window (bench_gui_explorer.cpp).
int RunExplorerBench(int argc, char** argv);

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "explorer") == 0)
        return RunExplorerBench(argc, argv);
    if (argc < 2 || argv[1][0] == '-')
    {
        std::fprintf(stderr,
                     "usage: csvq-bench-gui FILE [--seed N] [--bench PATH-TO-csvq-bench] [--open-only]\n"
                     "                      [--find TEXT]\n"
                     "       csvq-bench-gui explorer DIR [--screenshot OUT.png] [--runs N]\n"
                     "      under xvfb-run: open to first paint, wheel, page and thumb steps (JSON);\n"
                     "      --open-only times the open and first paint alone; --find times find next\n"
                     "      for TEXT from the top first (the window's longest freeze)\n");
        return 2;
    }
    char resolved[PATH_MAX];
    if (!realpath(argv[1], resolved))
    {
        std::fprintf(stderr, "csvq-bench-gui: %s is not a readable file\n", argv[1]);
        return 1;
    }
    const std::string file = resolved;
    unsigned seed = 1;
    std::string benchExe = CSVQ_BENCH_EXE;
    bool openOnly = false;
    std::string findText;
    for (int i = 2; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--open-only") == 0)
            openOnly = true;
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--bench") == 0 && i + 1 < argc)
            benchExe = argv[++i];
        else if (std::strcmp(argv[i], "--find") == 0 && i + 1 < argc)
            findText = argv[++i];
    }

    const double indexSeconds = RunIndexScan(benchExe, file);
    if (indexSeconds < 0)
        std::fprintf(stderr, "csvq-bench-gui: the index scan (%s) did not run\n", benchExe.c_str());

    std::string base;
    CCSVQuibboAppApp* app = BenchGuiStartApp("csvq-bench-gui", argv, base);
    if (!app)
        return 1;
    StderrMessageBoxes boxes;
    SetMessageBoxes(&boxes);
    PaintWatch watch;
    wxEvtHandler::AddFilter(&watch);

    int result = 1;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        if (app->InitViewer(true))
        {
            BenchGuiPump(500);
            const long long rssBeforeOpen = BenchGuiRssBytes();
            const long paintsBefore = watch.paints;
            const Clock::time_point start = Clock::now();
            app->OpenFile(wxString::FromUTF8(file));
            LGridView* grid = nullptr;
            bool painted = PumpUntil(
                [&] {
                    grid = FindGrid(app->GetDocManager());
                    return grid && watch.paints != paintsBefore && watch.lastTopRow != 0;
                },
                60000);
            const double firstPaint = painted ? Seconds(start, watch.lastPaintEnd) : -1;
            const long long peakRssAtFirstPaint = BenchGuiPeakRssBytes();
            if (painted)
            {
                BenchGuiPump(300);
                double findSeconds = -1;
                uint64_t findTopRow = 0;
                auto* frame = dynamic_cast<CMainFrame*>(app->GetTopWindow());
                if (!findText.empty() && frame && frame->GetSearchBox())
                {
                    frame->GetSearchBox()->SetValue(wxString::FromUTF8(findText));
                    const long before = watch.paints;
                    const Clock::time_point findStart = Clock::now();
                    wxCommandEvent command(wxEVT_MENU, ID_FIND_NEXT);
                    command.SetEventObject(frame);
                    frame->GetEventHandler()->ProcessEvent(command);
                    grid->Update();
                    PumpUntil([&] { return watch.paints != before; }, 200);
                    findSeconds =
                        Seconds(findStart, watch.paints != before ? watch.lastPaintEnd : Clock::now());
                    findTopRow = watch.lastTopRow;
                    BenchGuiPump(100);
                }
                GuiBench bench(grid, watch);
                std::vector<double> wheel, page, drag;
                const int wheelSteps = openOnly ? 0 : 1000;
                const int pageSteps = openOnly ? 0 : 200;
                const int dragSteps = openOnly ? 0 : 20;
                for (int i = 0; i < wheelSteps; ++i)
                    wheel.push_back(bench.Wheel());
                bench.Scroll(wxEVT_SCROLLWIN_TOP);
                BenchGuiPump(50);
                for (int i = 0; i < pageSteps; ++i)
                    page.push_back(bench.PageDown());
                const int range =
                    std::max(1, grid->GetScrollRange(wxVERTICAL) - grid->GetScrollThumb(wxVERTICAL));
                std::mt19937 random(seed);
                std::uniform_int_distribution<int> where(0, range);
                for (int i = 0; i < dragSteps; ++i)
                    drag.push_back(bench.Drag(where(random)));

                std::printf(
                    "{\"command\":\"gui\",\"file\":\"%s\",\"indexSeconds\":%.4f,\"firstPaintSeconds\":%.4f,"
                    "\"firstPaintToIndex\":%.3f,",
                    file.c_str(), indexSeconds, firstPaint,
                    indexSeconds > 0 ? firstPaint / indexSeconds : 0.0);
                PrintStats("wheel", Summarize(wheel), wheel.size(), false);
                PrintStats("pageDown", Summarize(page), page.size(), false);
                PrintStats("thumbDrag", Summarize(drag), drag.size(), true);
                std::printf(",\"lastTopRow\":%llu", static_cast<unsigned long long>(grid->GetTopRow()));
                std::printf(
                    ",\"rssBeforeOpenBytes\":%lld,\"peakRssAtFirstPaintBytes\":%lld,\"peakRssBytes\":%lld",
                    rssBeforeOpen, peakRssAtFirstPaint, BenchGuiPeakRssBytes());
                if (!findText.empty())
                    std::printf(",\"findLongestFreezeSeconds\":%.3f,\"findTopRow\":%llu", findSeconds,
                                static_cast<unsigned long long>(findTopRow));
                std::printf("}\n");
                std::fflush(stdout);
                result = 0;
            }
            else
            {
                std::fprintf(stderr, "csvq-bench-gui: the grid did not paint within a minute\n");
            }
            // As closing the window does: the documents first, then the frame.
            if (wxDocManager* manager = app->GetDocManager())
                manager->CloseDocuments(true);
            BenchGuiPump(50);
            if (wxWindow* frame = app->GetTopWindow())
                frame->Destroy();
            BenchGuiPump(100);
        }
        else
        {
            std::fprintf(stderr, "csvq-bench-gui: the viewer did not start\n");
        }
    }
    wxEvtHandler::RemoveFilter(&watch);
    BenchGuiEndApp(app, base);
    return result;
}
