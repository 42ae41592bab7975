#include "LExplorerListCtrlBase.h"

#include <cstring>

#include <wx/log.h>

#include "ExplorerPathCodec.h"
#include "ExplorerRename.h"
#include "ExplorerServices.h"
#include "GridWxText.h"
#include "LAppInterface.h"
#include "WSFileStorage.h"

LExplorerListCtrlBase::LExplorerListCtrlBase(LListCtrlCallbacks* callbacks)
    : LListCtrl(callbacks)
{
    Bind(wxEVT_KEY_UP, &LExplorerListCtrlBase::OnKeyUp, this);
    // Opening the context menu does nothing of its own here.
    Bind(wxEVT_MENU_OPEN, [](wxMenuEvent&) {});
}

bool LExplorerListCtrlBase::BlockLabelEdit(long row) const
{
    if (row < 0)
        return true;
    // The parent entry is no entry of the folder: it cannot be renamed, as it cannot be deleted.
    const WSFileRecord* record = GetRowRecord(row);
    return !record || record->isTopLevelShellItem || record->IsParentEntry();
}

namespace {
// Where a failure goes when nobody set a notifier: the wxWidgets log (a message box in the
// viewer, the standard error elsewhere). Nothing is deleted for good without a question.
class LogNotifier : public ExplorerNotifier
{
public:
    void ShowError(const std::u16string& text) override { wxLogError("%s", GridToWxString(text)); }
    bool ConfirmPermanentDelete(const std::u16string&) override { return false; }
};
} // namespace

ExplorerNotifier& LExplorerListCtrlBase::Notifier() const
{
    if (notifier != nullptr)
        return *notifier;
    if (ExplorerServices* services = ExplorerServices::Current(); services && services->GetNotifier())
        return *services->GetNotifier();
    static LogNotifier log;
    return log;
}

void LExplorerListCtrlBase::DeleteSelectedFiles()
{
    const int count = GetSelectedItemCount();
    if (count == 0)
        return;
    if (appInterface)
        appInterface->OnBeforeFileOperation();
    std::vector<std::pair<int, WSFileRecord*>> selection;
    long row = -1;
    for (int i = 0; i < count; ++i)
    {
        row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        if (row < 0)
            break;
        selection.emplace_back(static_cast<int>(row), GetRowRecord(row));
    }
    // An empty list (only the parent entry selected) moves nothing.
    MoveToTrash(PathsToDelete(selection), &Notifier());
    if (appInterface)
        appInterface->OnAfterFileOperation(true, true);
}

bool LExplorerListCtrlBase::RenameSelectedFile(long editedRow, const std::u16string& newName)
{
    if (GetSelectedItemCount() != 1)
        return false;
    const long selected = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (selected < 0 || selected != editedRow)
        return false;
    WSFileRecord* record = GetRowRecord(selected);
    if (!record || record->isTopLevelShellItem || newName.empty())
        return false;

    const std::string source = ExplorerPathToNative(record->GetPath());
    std::string target;
    switch (RenameTargetFor(source, ExplorerPathToNative(newName), target))
    {
    case RenameCheck::Ok:
        break;
    case RenameCheck::EmptyName:
    case RenameCheck::NoFolder:
        return false;
    case RenameCheck::BadName:
        Notifier().ShowError(u"\"" + newName +
                             u"\" is not a valid name: a name cannot hold \"/\" or be \".\" or \"..\".");
        return false;
    }
    const RenameOutcome outcome = RenameEntryNoReplace(source, target);
    if (!outcome.moved)
    {
        const std::u16string reason = outcome.error == EEXIST
                                          ? std::u16string(u"an entry of that name already exists")
                                          : ExplorerPathFromNative(std::strerror(outcome.error));
        Notifier().ShowError(u"Cannot rename \"" + record->GetPath() + u"\" to \"" + newName + u"\": " +
                             reason + u".");
        return false;
    }
    record->SetPath(ExplorerPathFromNative(outcome.newPath));
    return true;
}

void LExplorerListCtrlBase::OnKeyUp(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_DELETE)
        OnDeleteKey();
}
