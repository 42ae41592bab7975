// The list control base: right-button and double-click messages reach only the callbacks object
// when there is one, and the control owns that object.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <wx/frame.h>

#include "ExplorerTestSupport.h"
#include "LListCtrl.h"

namespace {

struct Calls
{
    std::vector<std::string> seen;
    int destroyed = 0;
};

class CountingCallbacks : public LListCtrlCallbacks
{
public:
    explicit CountingCallbacks(Calls& calls)
        : m_calls(calls)
    {}
    ~CountingCallbacks() override { ++m_calls.destroyed; }
    void OnRButtonDown(unsigned, const wxPoint&) override { m_calls.seen.push_back("rdown"); }
    void OnRButtonUp(unsigned, const wxPoint&) override { m_calls.seen.push_back("rup"); }
    void OnItemClick(int row) override { m_calls.seen.push_back("click " + std::to_string(row)); }
    void OnLButtonDblClk(unsigned, const wxPoint&) override { m_calls.seen.push_back("dclick"); }

private:
    Calls& m_calls;
};

class ListCtrlBaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "list", wxPoint(30, 30), wxSize(400, 300));
        list = new LListCtrl();
        ASSERT_TRUE(list->Create(frame, wxID_ANY, wxPoint(0, 0), wxSize(400, 300), wxLC_REPORT));
        list->AppendColumn("Name");
        for (int i = 0; i < 5; ++i)
            list->InsertItem(i, wxString::Format("row %d", i));
        list->Bind(wxEVT_LIST_ITEM_RIGHT_CLICK,
                   [this](wxListEvent& e) { listEvents.push_back("right " + std::to_string(e.GetIndex())); });
        list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& e) {
            listEvents.push_back("activated " + std::to_string(e.GetIndex()));
        });
        frame->Show();
        ASSERT_TRUE(PumpUntilShown(frame));
    }
    void TearDown() override { DestroyAndPump(frame); }
    // A mouse event on the window that shows the rows, at the centre of a row.
    void Mouse(wxEventType type, long row)
    {
        wxRect rect;
        ASSERT_TRUE(list->GetItemRect(row, rect));
        wxWindow* area = list->GetListArea();
        const wxPoint point =
            area->ScreenToClient(list->ClientToScreen(rect.GetPosition() + wxPoint(10, rect.height / 2)));
        wxMouseEvent event(type);
        event.SetEventObject(area);
        event.SetPosition(point);
        event.m_rightDown = type == wxEVT_RIGHT_DOWN;
        event.m_leftDown = type == wxEVT_LEFT_DOWN;
        area->GetEventHandler()->ProcessEvent(event);
    }
    long Selected() const { return list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); }

    wxFrame* frame = nullptr;
    LListCtrl* list = nullptr;
    std::vector<std::string> listEvents;
    // What the callbacks objects see; they outlive the list, which deletes its object last.
    Calls calls;
    Calls first;
    Calls second;
};

TEST_F(ListCtrlBaseTest, WithoutCallbacksTheControlHandlesRightClicksAndDoubleClicks)
{
    Mouse(wxEVT_RIGHT_DOWN, 2);
    Mouse(wxEVT_RIGHT_UP, 2);
    Mouse(wxEVT_LEFT_DOWN, 3);
    Mouse(wxEVT_LEFT_UP, 3);
    Mouse(wxEVT_LEFT_DCLICK, 3);
    EXPECT_NE(std::find(listEvents.begin(), listEvents.end(), "right 2"), listEvents.end());
    EXPECT_NE(std::find(listEvents.begin(), listEvents.end(), "activated 3"), listEvents.end());
}

TEST_F(ListCtrlBaseTest, WithCallbacksOnlyTheCallbacksSeeThem)
{
    list->SetCallbacks(new CountingCallbacks(calls));
    list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    Mouse(wxEVT_RIGHT_DOWN, 2);
    Mouse(wxEVT_RIGHT_UP, 2);
    Mouse(wxEVT_LEFT_DCLICK, 3);
    Mouse(wxEVT_LEFT_UP, 4);
    EXPECT_EQ(calls.seen, (std::vector<std::string>{"rdown", "rup", "dclick", "click 4"}));
    EXPECT_TRUE(listEvents.empty());
    EXPECT_EQ(Selected(), 0) << "a right click changes no selection by itself";

    // The quiet selection touches nothing else.
    list->SetItemSelectedQuiet(1, true);
    EXPECT_TRUE(list->GetItemState(1, wxLIST_STATE_SELECTED));
    list->SetItemSelectedQuiet(1, false);
    EXPECT_FALSE(list->GetItemState(1, wxLIST_STATE_SELECTED));
}

TEST_F(ListCtrlBaseTest, TheControlOwnsItsCallbacks)
{
    list->SetCallbacks(new CountingCallbacks(first));
    list->SetCallbacks(new CountingCallbacks(second));
    EXPECT_EQ(first.destroyed, 1) << "the replaced object is deleted";
    EXPECT_EQ(second.destroyed, 0);
    wxFrame* old = frame;
    frame->Destroy();
    frame = new wxFrame(nullptr, wxID_ANY, "again");
    PumpUntil([old] { return !wxPendingDelete.Member(old); });
    EXPECT_EQ(second.destroyed, 1) << "the control deletes its object when it goes";
}

} // namespace
