// csvq-bench explore: the explorer's listing worker filling the file store, as the explorer runs
// it, beside `find` doing the same stat work; csvq-bench explore-gen: a folder of N files for it.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BenchRegistry.h"
#include "ExplorerPathCodec.h"
#include "FolderListing.h"

namespace {
// Queues the commands as the window's event queue would: one small allocation and a lock per command.
class QueueSink : public ExplorerCommandSink
{
public:
    void PostCommand(int commandId, int generation) override
    {
        auto* command = new Command{commandId, generation};
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(command);
        if (commandId == ID_FOLDER_LISTING_ENDED)
            ended = true;
    }
    std::atomic<bool> ended{false};
    ~QueueSink() override { Drain(); }
    // Takes the queued commands out; returns how many there were.
    std::size_t Drain()
    {
        std::vector<Command*> taken;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            taken.swap(m_queue);
        }
        for (Command* command : taken)
            delete command;
        return taken.size();
    }

private:
    struct Command
    {
        int id;
        int generation;
    };
    std::mutex m_mutex;
    std::vector<Command*> m_queue;
};

long long CurrentRssBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
    {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atoll(line.c_str() + 6) * 1024;
    }
    return -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Runs find with its output thrown away; the seconds it took, or -1.
double TimeFind(const std::string& dir, bool flat)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0)
    {
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0)
        {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        if (flat)
            execlp("find", "find", dir.c_str(), "-printf", "%s %T@ %p\n", static_cast<char*>(nullptr));
        else
            execlp("find", "find", dir.c_str(), "-maxdepth", "1", "-printf", "%s %T@ %p\n",
                   static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return BenchSecondsSince(start);
}

struct Listing
{
    double seconds = 0;
    std::size_t entries = 0;
    std::size_t events = 0;
    std::size_t unreadFolders = 0;
};

Listing ListOnce(WSFileStorageThreadSafeAccess& access, const std::u16string& folder, bool flat, bool hidden)
{
    {
        WSFileStorageAccessGuard guard(access);
        guard.Get().Clear(true);
        guard.Get().SetFolder(folder);
    }
    QueueSink sink;
    FolderListingWorker worker;
    Listing result;
    const auto start = std::chrono::steady_clock::now();
    worker.Start(access, &sink, flat, hidden);
    // The GUI thread takes the commands while the worker walks, until the worker has ended.
    while (!sink.ended)
    {
        result.events += sink.Drain();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    worker.StopWorkerAndWait();
    result.seconds = BenchSecondsSince(start);
    result.events += sink.Drain();
    WSFileStorageAccessGuard guard(access);
    result.entries = guard.Get().size();
    result.unreadFolders = guard.Get().GetUnreadFolders().size();
    return result;
}

// Starts a listing, lets it walk half of `entries`, then times the stop.
double StopHalfwayMs(WSFileStorageThreadSafeAccess& access, const std::u16string& folder, bool flat,
                     bool hidden, std::size_t entries, bool& cleared)
{
    {
        WSFileStorageAccessGuard guard(access);
        guard.Get().Clear(true);
        guard.Get().SetFolder(folder);
    }
    QueueSink sink;
    FolderListingWorker worker;
    worker.Start(access, &sink, flat, hidden);
    while (access.GetPublishedCount() < entries / 2)
    {
        sink.Drain();
        std::this_thread::yield();
    }
    const auto start = std::chrono::steady_clock::now();
    worker.StopWorkerAndWait();
    const double ms = BenchSecondsSince(start) * 1000.0;
    WSFileStorageAccessGuard guard(access);
    cleared = guard.Get().empty();
    return ms;
}

int RunExplore(const std::vector<std::string>& args)
{
    std::string dir;
    bool flat = false;
    bool hidden = false;
    for (const std::string& arg : args)
    {
        if (arg == "--flat")
            flat = true;
        else if (arg == "--hidden")
            hidden = true;
        else if (dir.empty())
            dir = arg;
        else
            return 2;
    }
    if (dir.empty())
        return 2;
    struct stat info
    {};
    if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    {
        std::fprintf(stderr, "csvq-bench explore: %s is not a folder\n", dir.c_str());
        return 1;
    }
    const std::u16string folder = ExplorerPathFromNative(dir);

    // Warm the caches once for both, then three rounds side by side.
    TimeFind(dir, flat);
    const long long rssBefore = CurrentRssBytes();
    auto access = std::make_unique<WSFileStorageThreadSafeAccess>();
    Listing first = ListOnce(*access, folder, flat, hidden);
    const long long peakWithStore = BenchPeakRssBytes();
    const long long rssWithStore = CurrentRssBytes();

    std::vector<double> listSeconds;
    std::vector<double> findSeconds;
    Listing last = first;
    for (int round = 0; round < 3; ++round)
    {
        findSeconds.push_back(TimeFind(dir, flat));
        last = ListOnce(*access, folder, flat, hidden);
        listSeconds.push_back(last.seconds);
    }
    std::vector<double> stops;
    bool allCleared = true;
    for (int round = 0; round < 3; ++round)
    {
        bool cleared = false;
        stops.push_back(StopHalfwayMs(*access, folder, flat, hidden, last.entries, cleared));
        allCleared = allCleared && cleared;
    }
    access.reset();

    const double list = Median(listSeconds);
    const double find = Median(findSeconds);
    std::printf("{\"bench\":\"explore\",\"dir\":%s,\"flat\":%s,\"hidden\":%s,\"entries\":%zu,\"events\":%zu,"
                "\"seconds\":%.6f,\"findSeconds\":%.6f,\"ratioToFind\":%.3f,\"peakRssBytes\":%lld,"
                "\"storeRssBytes\":%lld,\"storePeakAddedBytes\":%lld,\"stopMs\":%.3f,\"stopMsMax\":%.3f,"
                "\"stoppedStoreEmpty\":%s,\"unreadFolders\":%zu}\n",
                BenchJsonString(dir).c_str(), flat ? "true" : "false", hidden ? "true" : "false",
                last.entries, last.events, list, find, find > 0 ? list / find : 0.0, BenchPeakRssBytes(),
                rssWithStore - rssBefore, peakWithStore - rssBefore, Median(stops),
                *std::max_element(stops.begin(), stops.end()), allCleared ? "true" : "false",
                last.unreadFolders);
    return 0;
}

int RunExploreGen(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return 2;
    const std::string& dir = args[0];
    const long long count = BenchParseSize(args[1]);
    if (count < 0)
        return 2;
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
    {
        std::perror(dir.c_str());
        return 1;
    }
    static const char* const extensions[] = {".csv", ".txt", ".json", ".log", "", ".exe", ".tsv", ".dat"};
    BenchRandom random{0x5eed};
    const auto start = std::chrono::steady_clock::now();
    std::string content(4096, 'x');
    for (long long i = 0; i < count; ++i)
    {
        char name[64];
        std::snprintf(name, sizeof name, "/file_%07lld%s", i, extensions[i % 8]);
        const std::string path = dir + name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
        {
            std::perror(path.c_str());
            return 1;
        }
        const std::size_t size = random.Below(4096);
        if (size > 0 && write(fd, content.data(), size) != static_cast<ssize_t>(size))
        {
            std::perror(path.c_str());
            close(fd);
            return 1;
        }
        close(fd);
    }
    std::printf("{\"bench\":\"explore-gen\",\"dir\":%s,\"files\":%lld,\"seconds\":%.3f}\n",
                BenchJsonString(dir).c_str(), count, BenchSecondsSince(start));
    return 0;
}

const BenchCommand kExplore("explore", "DIR [--flat] [--hidden]", RunExplore);
const BenchCommand kExploreGen("explore-gen", "DIR N", RunExploreGen);
} // namespace
