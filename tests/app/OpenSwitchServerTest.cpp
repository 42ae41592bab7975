// The open switch's server thread without a window (also run under ThreadSanitizer): clients that
// send at the same time are all served and their paths opened on the main thread, in order per
// client; a client that stops half-way is dropped while others are served; the server stops at
// once with a silent client connected, and removes its socket.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <wx/app.h>
#include <wx/init.h>

#include "OpenSwitch.h"

namespace {
using Clock = std::chrono::steady_clock;

class OpenSwitchServerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The console application that takes the server's CallAfter calls.
        static wxInitializer initializer;
        ASSERT_TRUE(initializer.IsOk());
    }

    OpenSwitchServerTest()
    {
        char pattern[] = "/tmp/csvq-open-switch-XXXXXX";
        folder = mkdtemp(pattern) ? pattern : "";
        socketPath = folder + "/open-switch";
    }
    ~OpenSwitchServerTest() override
    {
        std::error_code error;
        if (!folder.empty())
            std::filesystem::remove_all(folder, error);
    }

    // Runs the main thread's pending calls until `done` holds or the time is up.
    static bool PumpUntil(const std::function<bool()>& done, int milliseconds)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;)
        {
            wxAppConsole::GetInstance()->ProcessPendingEvents();
            if (done())
                return true;
            if (Clock::now() >= end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // A connected client socket; -1 when the connection failed.
    int Connect() const
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
        if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        if (fd >= 0)
            close(fd);
        return -1;
    }

    // Makes an empty file of that name in the folder and returns its path.
    std::string File(const std::string& name) const
    {
        const std::string path = folder + "/" + name;
        std::ofstream(path).put('a');
        return path;
    }
    // The opener: every path delivered, in order.
    COpenSwitchServer::Opener Recorder()
    {
        return [this](const OpenSwitchDelivery& delivery) {
            for (const wxString& path : delivery.paths)
                opened.push_back(path.utf8_string());
        };
    }

    std::string folder;
    std::string socketPath;
    std::vector<std::string> opened; // touched on the main thread only
};
} // namespace

TEST_F(OpenSwitchServerTest, ClientsAtTheSameTimeAreAllServed)
{
    ASSERT_FALSE(folder.empty());
    COpenSwitchServer server(Recorder());
    ASSERT_TRUE(server.Start(socketPath));
    constexpr int kClients = 6;
    std::vector<std::vector<std::string>> files;
    for (int c = 0; c < kClients; ++c)
        files.push_back({File(std::to_string(c) + "-a.csv"), File(std::to_string(c) + "-\xC3\xA9.csv")});
    std::vector<std::thread> clients;
    std::atomic<int> taken{0};
    for (int c = 0; c < kClients; ++c)
    {
        clients.emplace_back([this, c, &taken, &files]() {
            if (ForwardFilesToViewerAt(socketPath, files[static_cast<size_t>(c)], 5000) ==
                ForwardResult::Taken)
                ++taken;
        });
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(taken.load(), kClients);
    ASSERT_TRUE(PumpUntil([this]() { return opened.size() == 2 * kClients; }, 5000)) << opened.size();
    for (int c = 0; c < kClients; ++c)
    {
        const auto first = std::find(opened.begin(), opened.end(), files[static_cast<size_t>(c)][0]);
        ASSERT_NE(first, opened.end()) << c;
        ASSERT_NE(first + 1, opened.end()) << c;
        EXPECT_EQ(*(first + 1), files[static_cast<size_t>(c)][1]);
    }
}

TEST_F(OpenSwitchServerTest, AHalfMessageIsDroppedAndTheServerStopsAtOnce)
{
    ASSERT_FALSE(folder.empty());
    auto server = std::make_unique<COpenSwitchServer>(Recorder());
    ASSERT_TRUE(server->Start(socketPath));

    // Half a head, then nothing: dropped after the client time, its connection closed.
    const int slow = Connect();
    ASSERT_GE(slow, 0);
    ASSERT_EQ(send(slow, "CSVQ\0\0", 6, MSG_NOSIGNAL), 6);
    const int silent = Connect();
    ASSERT_GE(silent, 0);

    // Meanwhile another client is served.
    const std::string served = File("served.csv");
    EXPECT_EQ(ForwardFilesToViewerAt(socketPath, {served}, 5000), ForwardResult::Taken);
    ASSERT_TRUE(PumpUntil([this]() { return !opened.empty(); }, 5000));
    EXPECT_EQ(opened, std::vector<std::string>{served});

    char answer = 0;
    const auto start = Clock::now();
    EXPECT_EQ(recv(slow, &answer, 1, 0), 0) << "the connection is closed without an answer";
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));
    close(slow);

    // A client that is still connected (a new silent one) does not hold the stop: it ends before
    // that client's time would run out.
    const int lastSilent = Connect();
    ASSERT_GE(lastSilent, 0);
    const auto stopping = Clock::now();
    server.reset();
    EXPECT_LT(Clock::now() - stopping, std::chrono::milliseconds(kOpenSwitchClientMs));
    struct stat st;
    EXPECT_NE(lstat(socketPath.c_str(), &st), 0) << "the socket is removed";
    close(silent);
    close(lastSilent);
}
