// The explorer's commands as wxThreadEvents: the listing worker and the folder watcher queue
// wxEVT_THREAD events with the command id as event id and the sender's generation in GetInt().
// A receiver binds them with
//     Bind(wxEVT_THREAD, &Handler::OnListingDone, this, ID_FOLDER_LISTING_DONE);
// and drops the events of a stopped listing with FolderListingWorker::AcceptsCommand(event.GetInt()).
#pragma once

#include <wx/event.h>

#include "ExplorerCommands.h"

class ExplorerThreadEventSink : public ExplorerCommandSink
{
public:
    // The handler must outlive every thread that sends through this sink: stop the worker and the
    // watcher before it is destroyed.
    explicit ExplorerThreadEventSink(wxEvtHandler* target)
        : m_target(target)
    {}

    void PostCommand(int commandId, int generation) override;

private:
    wxEvtHandler* m_target;
};
