// Temporary folder trees and a command recorder for the explorer's data-side tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ExplorerCommands.h"
#include "ExplorerPathCodec.h"

// Waits until the condition holds (checked every few milliseconds); false after the time-out.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A folder under the system's temporary folder (or under `base`), removed with everything in it
// at the end.
class TempTree
{
public:
    explicit TempTree(const std::filesystem::path& base = std::filesystem::temp_directory_path())
    {
        std::string pattern = (base / "csvq-explorer-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_root = pattern;
    }
    ~TempTree()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const { return m_root + "/" + relative; }
    std::u16string Path16(const std::string& relative = "") const
    {
        return ExplorerPathFromNative(relative.empty() ? m_root : Path(relative));
    }

    void File(const std::string& relative, const std::string& content = "x") const
    {
        std::ofstream(Path(relative), std::ios::binary) << content;
    }
    void Folder(const std::string& relative) const { std::filesystem::create_directories(Path(relative)); }
    void Link(const std::string& relative, const std::string& target) const
    {
        std::filesystem::create_symlink(target, Path(relative));
    }

private:
    std::string m_root;
};

// Records the commands it is sent, from any thread.
class RecordingSink : public ExplorerCommandSink
{
public:
    struct Command
    {
        int id;
        int generation;
    };

    void PostCommand(int commandId, int generation) override
    {
        if (onPost)
            onPost(commandId);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_commands.push_back({commandId, generation});
        m_changed.notify_all();
    }

    std::vector<Command> Commands() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_commands;
    }
    std::vector<int> Ids() const
    {
        std::vector<int> ids;
        for (const Command& c : Commands())
            ids.push_back(c.id);
        return ids;
    }
    int Count(int id) const
    {
        int n = 0;
        for (const Command& c : Commands())
            n += c.id == id;
        return n;
    }
    // Waits until a command with this id (and generation, when not 0) came; false after the time-out.
    bool WaitFor(int id, int generation = 0,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            for (const Command& c : m_commands)
                if (c.id == id && (generation == 0 || c.generation == generation))
                    return true;
            return false;
        });
    }

    // Called on the sending thread before the command is recorded.
    std::function<void(int)> onPost;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Command> m_commands;
};
