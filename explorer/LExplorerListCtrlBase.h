// A report list whose rows carry file-store records: whether a row's label may be edited,
// sending the selected entries to the trash (the Delete key), and renaming an entry from its
// label editor without ever overwriting anything. GUI thread only.
#pragma once

#include <string>

#include "LListCtrl.h"

class LAppInterface;
class ExplorerNotifier;
class WSFileRecord;

class LExplorerListCtrlBase : public LListCtrl
{
public:
    explicit LExplorerListCtrlBase(LListCtrlCallbacks* callbacks = nullptr);

    // The application's services (not owned; set once the window exists).
    LAppInterface* appInterface = nullptr;
    // Where failures of the file operations are reported (not owned; null: not reported).
    ExplorerNotifier* notifier = nullptr;
    // The notifier failures go to: this list's, else the services', else the wxWidgets log.
    ExplorerNotifier& Notifier() const;

    // The record a row carries, null for rows without one.
    virtual WSFileRecord* GetRowRecord(long row) const = 0;

    // True (refuse) unless the row carries a record that is not a top-level item.
    bool BlockLabelEdit(long row) const;
    // Sends the selected entries (not the parent entry, not top-level items) to the trash.
    void DeleteSelectedFiles();
    // The label editor of `editedRow` closed with `newName`: renames the entry when that row is
    // the single selected row. A name that already exists is never overwritten; the name of an
    // existing folder moves the entry into that folder. After a move the record holds the new
    // path. Returns true when the entry moved.
    bool RenameSelectedFile(long editedRow, const std::u16string& newName);

protected:
    // The Delete key's action; the explorer's list puts the application's delete here.
    virtual void OnDeleteKey() { DeleteSelectedFiles(); }

private:
    void OnKeyUp(wxKeyEvent& event);
};
