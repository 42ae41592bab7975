#include "ExplorerThreadEvents.h"

void ExplorerThreadEventSink::PostCommand(int commandId, int generation)
{
    if (m_target == nullptr)
        return;
    auto* event = new wxThreadEvent(wxEVT_THREAD, commandId);
    event->SetInt(generation);
    wxQueueEvent(m_target, event);
}
