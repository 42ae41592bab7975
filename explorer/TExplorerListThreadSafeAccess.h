// The explorer list together with its lock. Only the GUI thread takes it, so a flag is enough:
// a second Lock by the holder does nothing, and any Unlock releases the hold (a nested guard's
// release therefore ends the enclosing scope's hold too).
#pragma once

class LSkorrelFileExplorerList;

class TExplorerListThreadSafeAccess
{
public:
    explicit TExplorerListThreadSafeAccess(LSkorrelFileExplorerList* list = nullptr)
        : m_list(list)
    {}

    void Lock() { m_locked = true; }
    void Unlock() { m_locked = false; }
    bool IsLocked() const { return m_locked; }

    LSkorrelFileExplorerList* GetList() const { return m_list; }
    void SetList(LSkorrelFileExplorerList* list) { m_list = list; }

private:
    LSkorrelFileExplorerList* m_list = nullptr;
    bool m_locked = false;
};

// Holds the list lock for its scope.
class TExplorerListGuard
{
public:
    explicit TExplorerListGuard(TExplorerListThreadSafeAccess& access)
        : m_access(access)
    {
        m_access.Lock();
    }
    ~TExplorerListGuard() { m_access.Unlock(); }
    TExplorerListGuard(const TExplorerListGuard&) = delete;
    TExplorerListGuard& operator=(const TExplorerListGuard&) = delete;

private:
    TExplorerListThreadSafeAccess& m_access;
};
