// What the explorer needs from the application that hosts it, and the navigation state that the
// application keeps for the explorer. The application object implements the interface; the
// explorer reaches it through the application (dynamic_cast of wxTheApp) or the pointer it was
// given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class WSFileRecord;
class WSFileStorageThreadSafeAccess;
// The host's tools list (defined by the application; the explorer only passes it on).
class CToolsCollection;

class LAppInterface
{
public:
    virtual ~LAppInterface() = default;

    // 1. Opens an entry chosen in the explorer; false when nothing was opened.
    virtual bool OpenFileRecord(WSFileRecord* record) = 0;
    // 2, 3.
    virtual bool QueryOption1() = 0;
    virtual bool QueryOption2() = 0;
    // 4. The host's tools; stays valid after the call.
    virtual CToolsCollection& GetToolsCollection() = 0;
    // 5, 6. Around a file operation of the list base.
    virtual void OnBeforeFileOperation() = 0;
    virtual void OnAfterFileOperation(bool first, bool second) = 0;
    // 7, 8, 9.
    virtual int32_t QueryNumber() = 0;
    virtual std::u16string QueryText1() = 0;
    virtual void Notify1() = 0;
    // 10. The one file store of the process.
    virtual WSFileStorageThreadSafeAccess* GetFileStorageAccess() = 0;
    // 11 to 21.
    virtual std::u16string QueryText2() = 0;
    virtual void Notify2() = 0;
    virtual void Notify3() = 0;
    virtual void Notify4() = 0;
    virtual void Notify5() = 0;
    virtual void Notify6() = 0;
    virtual std::u16string QueryText3() = 0;
    virtual std::u16string QueryText4() = 0;
    virtual std::u16string QueryText5() = 0;
    virtual bool QueryOption3() = 0;
    virtual void Notify7() = 0;
};

// The explorer's navigation state, kept by the application for the explorer.
struct ExplorerNavigationState
{
    std::u16string currentFolder;
    std::vector<std::u16string> folderHistory;
    int32_t historyPosition = -1;
    bool extraFlag1 = true;
    bool extraFlag2 = true;
    intptr_t extraPointer = 0;
    std::vector<int32_t> columnOrder;
    std::vector<int32_t> columnWidths;
    int32_t extraInt1 = 1;
    bool extraBool = false;
    int32_t extraInt2 = 0;
    std::u16string extraText;
};
