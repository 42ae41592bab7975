#include "LSkorrelFileExplorerParentWnd.h"

#include <algorithm>
#include <climits>

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/dcclient.h>
#include <wx/dirdlg.h>
#include <wx/menu.h>
#include <wx/settings.h>

#include "ExplorerLayout.h"
#include "ExplorerServices.h"
#include "GridWxText.h"
#include "LAppInterface.h"
#include "LSkorrelFileExplorerList.h"
#include "WSFileStorage.h"
#include "WxExplorerIcons.h"

namespace {

wxRect ToWxRect(const ExplorerRect& r)
{
    return wxRect(r.x, r.y, r.width, r.height);
}

ExplorerRect FromWxRect(const wxRect& r)
{
    return ExplorerRect{r.x, r.y, r.width, r.height};
}

// The "Modified" column: 130 pixels, or wider when the locale's longest date and time text needs it
// (wide digits, a 12-hour clock, a long separator) with the cell's margins.
int ModifiedColumnWidth(wxWindow& list)
{
    int width = 130;
    // Dates and times whose texts are the longest: two-digit days and months, late hours.
    for (const int64_t time :
         {int64_t{978047938}, int64_t{1219910888}, int64_t{1796955938}, int64_t{1007161138}})
    {
        wxCoord w = 0;
        wxCoord h = 0;
        list.GetTextExtent(GridToWxString(FormatLocaleDateTime(time)), &w, &h);
        width = std::max(width, static_cast<int>(w) + 16);
    }
    return width;
}

bool IsEnterKey(int key)
{
    return key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
}

} // namespace

// ---- the path box

bool LEditBrowseCtrl::Create(wxWindow* parent, wxWindowID id, const wxRect& rect, const wxFont& font)
{
    if (!wxPanel::Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE))
        return false;
    m_text = new wxTextCtrl(this, wxID_ANY, wxString(), wxPoint(0, 0), wxDefaultSize, wxBORDER_THEME);
    m_text->SetFont(font);
    // Any folder path the system can have: a longer text would be cut by the box.
    m_text->SetMaxLength(PATH_MAX);
    m_browse = new wxBitmapButton(this, wxID_ANY,
                                  wxArtProvider::GetBitmap(wxART_FOLDER_OPEN, wxART_BUTTON, wxSize(16, 16)),
                                  wxDefaultPosition, wxDefaultSize, wxBORDER_NONE);
    m_browse->SetToolTip(wxS("Browse for a folder"));
    m_text->Bind(wxEVT_TEXT, &LEditBrowseCtrl::OnUpdateReflect, this);
    m_text->Bind(wxEVT_SET_FOCUS, &LEditBrowseCtrl::OnSetFocusReflect, this);
    m_text->Bind(wxEVT_KILL_FOCUS, &LEditBrowseCtrl::OnKillFocusReflect, this);
    m_text->Bind(wxEVT_KEY_UP, &LEditBrowseCtrl::OnKeyUp, this);
    m_browse->Bind(wxEVT_BUTTON, &LEditBrowseCtrl::OnBrowse, this);
    Bind(wxEVT_SIZE, &LEditBrowseCtrl::OnSize, this);
    SetSize(rect);
    return true;
}

void LEditBrowseCtrl::OnSize(wxSizeEvent& event)
{
    const wxSize size = GetClientSize();
    const int button = std::min(size.y, 24);
    m_text->SetSize(0, 0, std::max(0, size.x - button - 1), size.y);
    m_browse->SetSize(std::max(0, size.x - button), (size.y - button) / 2, button, button);
    event.Skip();
}

void LEditBrowseCtrl::SetValue(const wxString& text)
{
    // SetValue, not ChangeValue: the change handling (the popup's filter) follows.
    if (m_text)
        m_text->SetValue(text);
}

void LEditBrowseCtrl::OnUpdateReflect(wxCommandEvent& event)
{
    const wxString text = m_text->GetValue();
    if (owner && !text.empty())
        owner->SetSuggestionsFilter(GridFromWxString(text));
    event.Skip();
}

void LEditBrowseCtrl::OnSetFocusReflect(wxFocusEvent& event)
{
    event.Skip();
    if (!owner)
        return;
    if (!owner->pathFocusGuard)
    {
        owner->pathFocusGuard = true;
        if (!owner->selectAllOnPathFocus)
            owner->ShowSuggestions();
        if (owner->selectAllOnPathFocus)
        {
            m_text->SelectAll();
        }
    }
    owner->pathFocusGuard = false;
    owner->selectAllOnPathFocus = false;
}

void LEditBrowseCtrl::OnKillFocusReflect(wxFocusEvent& event)
{
    // The popup never takes the focus: losing it always hides the popup.
    if (owner && owner->GetFolderPopup())
        owner->GetFolderPopup()->Hide();
    event.Skip();
}

void LEditBrowseCtrl::OnKeyUp(wxKeyEvent& event)
{
    if (owner && IsEnterKey(event.GetKeyCode()))
        owner->NavigateToFolder(nullptr, true);
    event.Skip();
}

void LEditBrowseCtrl::OnBrowse(wxCommandEvent&)
{
    wxDirDialog dialog(this, wxS("Select a folder"), wxString(), wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return;
    SetValue(dialog.GetPath());
    OnAfterUpdate();
}

void LEditBrowseCtrl::OnAfterUpdate()
{
    if (!owner)
        return;
    owner->selectAllOnPathFocus = true;
    owner->NavigateToFolder(nullptr, true);
}

// ---- the list's callbacks

void LExplorerListCallbacks::OnRButtonDown(unsigned, const wxPoint& point)
{
    if (!list)
        return;
    const long row = list->RowAt(point);
    if (row >= 0)
    {
        if (!list->GetItemState(row, wxLIST_STATE_SELECTED))
            for (long selected = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); selected >= 0;
                 selected = list->GetNextItem(selected, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
                list->SetItemState(selected, 0, wxLIST_STATE_SELECTED);
        list->SetFocus();
        list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                           wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }
    wxMenu menu;
    menu.Append(ID_EXPLORER_MENU_OPEN, wxS("&Open"));
    menu.Append(ID_EXPLORER_MENU_OPEN_WITH, wxS("Open &With...."));
    menu.AppendSeparator();
    menu.Append(ID_EXPLORER_MENU_COMPILE, wxS("&Compile"));
    menu.AppendSeparator();
    menu.Append(wxID_CUT, wxS("Cu&t\tCtrl+X"));
    menu.Append(wxID_COPY, wxS("&Copy\tCtrl+C"));
    menu.Append(wxID_DELETE, wxS("&Remove"));
    menu.AppendSeparator();
    menu.Append(ID_EXPLORER_MENU_PROPERTIES, wxS("&Properties..."));
    wxWindow* owner = menuOwner ? menuOwner : static_cast<wxWindow*>(list);
    const wxPoint screen = list->GetListArea()->ClientToScreen(point);
    if (explorer && explorer->showContextMenu)
        explorer->showContextMenu(owner, menu, screen);
    else
        owner->PopupMenu(&menu, owner->ScreenToClient(screen));
}

void LExplorerListCallbacks::OnLButtonDblClk(unsigned, const wxPoint&)
{
    if (explorer)
        explorer->OpenSelectedItems();
}

// ---- the window

LSkorrelFileExplorerParentWnd::LSkorrelFileExplorerParentWnd() = default;

LSkorrelFileExplorerParentWnd::~LSkorrelFileExplorerParentWnd()
{
    if (m_list)
    {
        SaveColumnLayout();
        // The worker posts to the list and the store points at this window's image list.
        m_list->StopListingWorker();
        if (ExplorerServices* services = ExplorerServices::Current();
            services && services->GetList() == m_list)
            services->SetList(nullptr);
        if (WSFileStorageThreadSafeAccess* store = GetStoreAccess())
        {
            WSFileStorageAccessGuard guard(*store);
            if (guard.Get().GetImageList() == m_imageList.get())
            {
                guard.Get().SetImageList(nullptr);
                guard.Get().GetExtensionIcons().clear();
                guard.Get().GetSharedIcons().clear();
            }
        }
        m_list->SetImageList(nullptr, wxIMAGE_LIST_SMALL);
    }
    if (m_folderPopup)
        m_folderPopup->Destroy();
}

void LSkorrelFileExplorerParentWnd::SetFonts(const wxFont& small, const wxFont& medium)
{
    m_smallFont = small;
    m_mediumFont = medium;
}

void LSkorrelFileExplorerParentWnd::SetNotifier(ExplorerNotifier* notifier)
{
    m_notifier = notifier;
    if (m_list)
        m_list->notifier = notifier;
}

LAppInterface* LSkorrelFileExplorerParentWnd::GetAppInterface() const
{
    return m_appInterface ? m_appInterface : dynamic_cast<LAppInterface*>(wxTheApp);
}

WSFileStorageThreadSafeAccess* LSkorrelFileExplorerParentWnd::GetStoreAccess() const
{
    if (LAppInterface* app = GetAppInterface())
        if (WSFileStorageThreadSafeAccess* store = app->GetFileStorageAccess())
            return store;
    ExplorerServices* services = ExplorerServices::Current();
    return services ? &services->GetFileStorageAccess() : nullptr;
}

ExplorerNavigationState* LSkorrelFileExplorerParentWnd::GetNavigationState() const
{
    ExplorerServices* services = ExplorerServices::Current();
    return services ? &services->GetNavigationState() : nullptr;
}

wxBitmapButton* LSkorrelFileExplorerParentWnd::MakeButton(int id, const wxArtID& art, const wxRect& rect,
                                                          const wxString& tip)
{
    auto* button = new wxBitmapButton(this, id, wxArtProvider::GetBitmap(art, wxART_BUTTON, wxSize(16, 16)),
                                      rect.GetPosition(), rect.GetSize(), wxBORDER_NONE);
    button->SetToolTip(tip);
    button->SetSize(rect);
    m_childControls.push_back(button);
    return button;
}

bool LSkorrelFileExplorerParentWnd::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                           const wxSize& size)
{
    if (!wxPanel::Create(parent, id, pos, size, wxTAB_TRAVERSAL | wxNO_BORDER | wxWANTS_CHARS))
        return false;
    TExplorerListGuard listGuard(m_listAccess);
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));

    const wxFont system = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    if (!m_smallFont.IsOk())
        m_smallFont = system.Scaled(0.85f);
    if (!m_mediumFont.IsOk())
    {
        m_mediumFont = system.Scaled(1.15f);
        m_mediumFont.SetNumericWeight(500);
    }

    {
        wxClientDC dc(this);
        dc.SetFont(m_mediumFont);
        m_textHeight = dc.GetCharHeight() > 0 ? dc.GetCharHeight() : 16;
    }
    const ExplorerCreationLayout layout = ComputeExplorerCreationLayout(m_textHeight);
    wxWindow* mainWindow = wxGetTopLevelParent(this);

    m_backButton = MakeButton(IDC_EXPLORER_BACK, wxART_GO_BACK, ToWxRect(layout.backButton),
                              wxS("Go back folder history"));
    m_forwardButton = MakeButton(IDC_EXPLORER_FORWARD, wxART_GO_FORWARD, ToWxRect(layout.forwardButton),
                                 wxS("Go forward folder history"));

    m_pathBox = new LEditBrowseCtrl();
    m_pathBox->owner = this;
    m_pathBox->Create(this, IDC_EXPLORER_PATH, ToWxRect(layout.pathBox), m_mediumFont);
    m_childControls.push_back(m_pathBox);

    auto* popup = new LSuggestionsBoxFolderPaths();
    if (popup->Create(mainWindow ? mainWindow : this, m_smallFont))
    {
        m_folderPopup = popup;
        popup->SetMaxRows(5);
        popup->AddIcon(WxExplorerImageList::FolderBitmap());
    }
    else
    {
        delete popup;
    }
    pathFocusGuard = false;
    selectAllOnPathFocus = false;

    m_upButton =
        MakeButton(IDC_EXPLORER_FOLDER_UP, wxART_GO_DIR_UP, ToWxRect(layout.upButton), wxS("Folder up"));
    m_fromDocumentButton =
        MakeButton(IDC_EXPLORER_FOLDER_FROM_DOCUMENT, wxART_GO_TO_PARENT, ToWxRect(layout.fromDocumentButton),
                   wxS("Set folder from active document"));
    m_resetButton = MakeButton(IDC_EXPLORER_RESET_SEARCH, wxART_UNDO, ToWxRect(layout.resetButton),
                               wxS("Reset search results"));

    m_list = new LSkorrelFileExplorerList();
    m_listAccess.SetList(m_list);

    m_flatListCheck = new CButtonWithTT();
    const wxRect checkRect = ToWxRect(layout.flatListCheck);
    m_flatListCheck->Create(this, IDC_EXPLORER_FLAT_LIST, wxS("Search in subfolders"),
                            checkRect.GetPosition(), checkRect.GetSize());
    m_flatListCheck->SetFont(m_smallFont);
    // Never lower than the toolkit's check mark.
    m_flatListCheck->SetSize(
        wxRect(checkRect.GetPosition(),
               wxSize(checkRect.width, std::max(checkRect.height, m_flatListCheck->GetBestSize().y))));
    m_flatListCheck->SetValue(m_list->flatList);
    m_toolTip.AddTool(m_flatListCheck, wxS("Display content of folder and subfolders as flat list"));
    m_flatListCheck->SetToolTip(&m_toolTip);
    m_childControls.push_back(m_flatListCheck);

    const wxRect searchRect = ToWxRect(layout.searchBox);
    m_searchBox = new wxTextCtrl(this, IDC_EXPLORER_SEARCH, wxString(), searchRect.GetPosition(),
                                 searchRect.GetSize(), wxBORDER_SIMPLE);
    m_searchBox->SetFont(m_mediumFont);
    m_searchBox->SetMaxLength(300);
    m_searchBox->SetHint(wxS("Search File Explorer"));
    m_searchBox->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    m_searchBox->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
    m_searchBox->SetSize(searchRect);
    m_childControls.push_back(m_searchBox);

    const wxRect listRect = ToWxRect(layout.list);
    if (m_list->Create(this, IDC_EXPLORER_LIST, listRect.GetPosition(), listRect.GetSize(),
                       wxLC_REPORT | wxLC_VIRTUAL | wxLC_EDIT_LABELS | wxBORDER_THEME))
    {
        m_list->appInterface = GetAppInterface();
        m_list->notifier = m_notifier;
        m_list->SetExplorer(this);
        m_list->SetListLock(&m_listAccess);
        m_iconProvider = std::make_unique<WxExplorerIconProvider>();
        m_list->SetIconProvider(m_iconProvider.get());
        m_imageList = std::make_unique<WxExplorerImageList>();
        if (WSFileStorageThreadSafeAccess* store = GetStoreAccess())
        {
            WSFileStorageAccessGuard guard(*store);
            // Indices cached for another list mean nothing in this one.
            guard.Get().SetImageList(m_imageList.get());
            guard.Get().GetExtensionIcons().clear();
            guard.Get().GetSharedIcons().clear();
        }
        m_list->SetImageList(&m_imageList->GetWxImageList(), wxIMAGE_LIST_SMALL);
        m_list->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
        m_list->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
        m_list->AppendColumn(wxS("Filename/Path"), wxLIST_FORMAT_LEFT, 300);
        m_list->AppendColumn(wxS("Valid"), wxLIST_FORMAT_CENTRE, 38);
        m_list->AppendColumn(wxS("Size"), wxLIST_FORMAT_RIGHT, 70);
        m_list->AppendColumn(wxS("Modified"), wxLIST_FORMAT_RIGHT, ModifiedColumnWidth(*m_list));
        m_list->sortKeys = {2, 4, 6, 8};
        m_list->SetCallbacks(new LExplorerListCallbacks(m_list, this, mainWindow));
        for (CXInfoTip*& tip : m_infoTips)
        {
            tip = new CXInfoTip();
            tip->Create(m_list);
            tip->SetFont(&m_smallFont);
        }
        if (ExplorerServices* services = ExplorerServices::Current())
            services->SetList(m_list);
        m_childControls.push_back(m_list);

        m_list->Bind(wxEVT_LIST_COL_CLICK, &LSkorrelFileExplorerParentWnd::OnColumnClick, this);
        m_list->Bind(wxEVT_LIST_BEGIN_LABEL_EDIT, &LSkorrelFileExplorerParentWnd::OnBeginLabelEdit, this);
        m_list->Bind(wxEVT_LIST_END_LABEL_EDIT, &LSkorrelFileExplorerParentWnd::OnEndLabelEdit, this);
    }
    else
    {
        // Without a list the window stays as it is; the layout leaves the list out.
        delete m_list;
        m_list = nullptr;
        m_listAccess.SetList(nullptr);
    }

    Bind(wxEVT_SIZE, &LSkorrelFileExplorerParentWnd::OnSize, this);
    Bind(wxEVT_SET_FOCUS, &LSkorrelFileExplorerParentWnd::OnSetFocus, this);
    Bind(wxEVT_CHAR_HOOK, &LSkorrelFileExplorerParentWnd::OnCharHook, this);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnSearchInSubfoldersClicked(); }, IDC_EXPLORER_FLAT_LIST);
    Bind(
        wxEVT_TEXT, [this](wxCommandEvent&) { OnSearchTextChanged(); }, IDC_EXPLORER_SEARCH);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnResetSearchResults(); }, IDC_EXPLORER_RESET_SEARCH);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnFolderUp(); }, IDC_EXPLORER_FOLDER_UP);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnSetFolderFromActiveDocument(); },
        IDC_EXPLORER_FOLDER_FROM_DOCUMENT);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnHistoryBack(); }, IDC_EXPLORER_BACK);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnHistoryForward(); }, IDC_EXPLORER_FORWARD);
    return true;
}

void LSkorrelFileExplorerParentWnd::OnSize(wxSizeEvent& event)
{
    event.Skip();
    if (!m_pathBox)
        return;
    TExplorerListGuard guard(m_listAccess);
    ExplorerSizeInput in;
    const wxSize client = GetClientSize();
    in.clientWidth = client.x;
    in.clientHeight = client.y;
    in.pathBox = FromWxRect(m_pathBox->GetRect());
    in.fromDocumentButtonWidth = m_fromDocumentButton->GetSize().x;
    in.flatListCheck = FromWxRect(m_flatListCheck->GetRect());
    in.searchBoxHeight = m_searchBox->GetSize().y;
    in.hasList = m_list != nullptr;
    const ExplorerSizeLayout out = ComputeExplorerSizeLayout(in);
    m_fromDocumentButton->SetSize(ToWxRect(out.fromDocumentButton));
    m_upButton->SetSize(ToWxRect(out.upButton));
    m_pathBox->SetSize(ToWxRect(out.pathBox));
    m_searchBox->SetSize(ToWxRect(out.searchBox));
    m_resetButton->SetSize(ToWxRect(out.resetButton));
    if (m_list && out.hasList)
        m_list->SetSize(ToWxRect(out.list));
}

void LSkorrelFileExplorerParentWnd::SetFocus()
{
    if (m_list)
        m_list->SetFocus();
    else
        wxPanel::SetFocus();
}

void LSkorrelFileExplorerParentWnd::OnSetFocus(wxFocusEvent& event)
{
    event.Skip();
    TExplorerListGuard guard(m_listAccess);
    if (m_list)
        m_list->SetFocus();
}

void LSkorrelFileExplorerParentWnd::SaveColumnLayout()
{
    ExplorerNavigationState* state = GetNavigationState();
    if (!state || !m_list || !m_list->GetHandle())
        return;
    TExplorerListGuard guard(m_listAccess);
    const int count = m_list->GetColumnCount();
    const wxArrayInt order = m_list->GetColumnsOrder();
    if (static_cast<int>(order.size()) == count)
        state->columnOrder.assign(order.begin(), order.end());
    state->columnWidths.clear();
    for (int column = 0; column < count; ++column)
        state->columnWidths.push_back(m_list->GetColumnWidth(column));
}

// ---- keys

ExplorerControl LSkorrelFileExplorerParentWnd::FocusedControl() const
{
    const wxWindow* focus = wxWindow::FindFocus();
    if (!focus)
        return ExplorerControl::Other;
    if (focus == m_backButton)
        return ExplorerControl::Back;
    if (focus == m_forwardButton)
        return ExplorerControl::Forward;
    if (m_pathBox && focus == m_pathBox->GetTextCtrl())
        return ExplorerControl::PathBox;
    if (focus == m_upButton)
        return ExplorerControl::Up;
    if (focus == m_fromDocumentButton)
        return ExplorerControl::FromDocument;
    if (focus == m_flatListCheck)
        return ExplorerControl::FlatListCheck;
    if (focus == m_searchBox)
        return ExplorerControl::SearchBox;
    if (focus == m_resetButton)
        return ExplorerControl::ResetButton;
    if (m_list && (focus == m_list || focus->GetParent() == m_list))
        return ExplorerControl::List;
    return ExplorerControl::Other;
}

wxWindow* LSkorrelFileExplorerParentWnd::ControlWindow(ExplorerControl control) const
{
    switch (control)
    {
    case ExplorerControl::Back:
        return m_backButton;
    case ExplorerControl::Forward:
        return m_forwardButton;
    case ExplorerControl::PathBox:
        return m_pathBox ? m_pathBox->GetTextCtrl() : nullptr;
    case ExplorerControl::Up:
        return m_upButton;
    case ExplorerControl::FromDocument:
        return m_fromDocumentButton;
    case ExplorerControl::FlatListCheck:
        return m_flatListCheck;
    case ExplorerControl::SearchBox:
        return m_searchBox;
    case ExplorerControl::ResetButton:
        return m_resetButton;
    case ExplorerControl::List:
        return m_list;
    case ExplorerControl::Other:
        return nullptr;
    }
    return nullptr;
}

void LSkorrelFileExplorerParentWnd::MoveFocus(ExplorerControl from, bool shift)
{
    const ExplorerTabStep step = NextTabStop(from, shift);
    wxWindow* target = ControlWindow(step.target);
    if (!target)
        return;
    auto* edit = dynamic_cast<wxTextCtrl*>(target);
    if (step.selectAll && edit)
    {
        if (edit == (m_pathBox ? m_pathBox->GetTextCtrl() : nullptr))
            selectAllOnPathFocus = true;
        target->SetFocus();
        edit->SelectAll();
    }
    else
    {
        target->SetFocus();
    }
}

bool LSkorrelFileExplorerParentWnd::PreTranslateKey(int key, bool shift, int repeat)
{
    LSuggestionsBoxFolderPaths* popup = m_folderPopup.get();
    const ExplorerControl focus = FocusedControl();
    if (focus == ExplorerControl::PathBox && popup)
    {
        if (!popup->IsShown() && !IsEnterKey(key))
        {
            ShowSuggestions();
        }
        else if (popup->IsShown() && key == WXK_ESCAPE)
        {
            popup->Hide();
            return true;
        }
    }

    TExplorerListGuard guard(m_listAccess);
    if ((focus == ExplorerControl::Back || focus == ExplorerControl::Forward))
    {
        if (key == WXK_LEFT)
            OnHistoryBack();
        else if (key == WXK_RIGHT)
            OnHistoryForward();
    }

    const bool popupShown = popup && popup->IsShown();
    if (IsEnterKey(key))
    {
        if (popupShown)
        {
            popup->CommitSelection();
            return false;
        }
        if (focus == ExplorerControl::SearchBox)
        {
            SearchFiles();
            return true;
        }
        if (focus == ExplorerControl::ResetButton)
        {
            OnResetSearchResults();
            return true;
        }
        return false;
    }
    if (key == WXK_DOWN || key == WXK_UP)
    {
        if (!popupShown)
            return false;
        for (int i = 0; i < repeat; ++i)
            key == WXK_DOWN ? popup->SelectNext() : popup->SelectPrevious();
        return true;
    }
    if (key == WXK_TAB)
    {
        for (int i = 0; i < repeat; ++i)
            MoveFocus(FocusedControl(), shift);
        return true;
    }
    return false;
}

void LSkorrelFileExplorerParentWnd::OnCharHook(wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    const ExplorerControl focus = FocusedControl();
    const bool inTextBox = focus == ExplorerControl::PathBox || focus == ExplorerControl::SearchBox;
    if (PreTranslateKey(key, event.ShiftDown(), 1))
        return;
    // Enter and Escape go no further than the two text boxes (their key releases still come).
    if (inTextBox && (IsEnterKey(key) || key == WXK_ESCAPE))
        return;
    event.Skip();
}

// ---- list notifications

void LSkorrelFileExplorerParentWnd::OnColumnClick(wxListEvent& event)
{
    // The one place a column click sorts.
    TExplorerListGuard guard(m_listAccess);
    if (m_list)
        m_list->SortByColumn(event.GetColumn(), false);
}

void LSkorrelFileExplorerParentWnd::OnBeginLabelEdit(wxListEvent& event)
{
    TExplorerListGuard guard(m_listAccess);
    if (!m_list || m_list->BlockLabelEdit(event.GetIndex()))
        event.Veto();
}

void LSkorrelFileExplorerParentWnd::OnEndLabelEdit(wxListEvent& event)
{
    TExplorerListGuard guard(m_listAccess);
    if (m_list && !event.IsEditCancelled())
        m_list->RenameSelectedFile(event.GetIndex(), GridFromWxString(event.GetLabel()));
    // The row keeps its old label; the next listing shows the new name.
    event.Veto();
}

// ---- the folder popup

void LSkorrelFileExplorerParentWnd::SetSuggestionsFilter(const std::u16string& text)
{
    LSuggestionsBoxFolderPaths* popup = m_folderPopup.get();
    if (!popup)
        return;
    const bool visible = popup->IsShown();
    popup->Hide();
    popup->SetFilterText(text);
    if (visible)
        ShowSuggestions();
}

void LSkorrelFileExplorerParentWnd::ShowSuggestions()
{
    LSuggestionsBoxFolderPaths* popup = m_folderPopup.get();
    if (!popup || !m_pathBox)
        return;
    popup->Refilter();
    if (!popup->HasVisibleItems())
        return;
    const wxRect box = m_pathBox->GetScreenRect();
    popup->SetCallback(this);
    popup->ClearSelection();
    popup->SetSize(wxRect(box.GetLeft(), box.GetBottom() + 1 + 2, box.GetWidth(), 20));
    popup->ShowSized();
    popup->Raise();
}
