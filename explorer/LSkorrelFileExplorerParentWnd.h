// The folder-browser pane: two rows of controls above the file list. Row one: back and forward
// through the folder history, the folder-path box (with a folder-browse button and a folder
// suggestions popup), "Folder up" and "Set folder from active document". Row two: the
// "Search in subfolders" check box, the search box and "Reset search results". Below: the file
// list, which the listing worker fills through the shared file store.
//
// Two-phase: the constructor makes no window (the viewer's main frame holds one explorer that it
// never opens); Create builds the controls. GUI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/artprov.h>
#include <wx/bmpbuttn.h>
#include <wx/panel.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include "CButtonWithTT.h"
#include "CXInfoTip.h"
#include "ExplorerTabRing.h"
#include "LListCtrl.h"
#include "LSuggestionsBox.h"
#include "LSuggestionsBoxCallback.h"
#include "TExplorerListThreadSafeAccess.h"

class ExplorerNotifier;
class LAppInterface;
class LSkorrelFileExplorerList;
class LSkorrelFileExplorerParentWnd;
class WSFileStorage;
class WSFileStorageThreadSafeAccess;
class WxExplorerImageList;
class WxExplorerIconProvider;
struct ExplorerNavigationState;

// Control ids: the window's own numbers 32771 to 32779, less 30000 (window ids stay below 32767).
constexpr int IDC_EXPLORER_PATH = 2771;
constexpr int IDC_EXPLORER_LIST = 2772;
constexpr int IDC_EXPLORER_FLAT_LIST = 2773;
constexpr int IDC_EXPLORER_SEARCH = 2774;
constexpr int IDC_EXPLORER_RESET_SEARCH = 2775;
constexpr int IDC_EXPLORER_FOLDER_UP = 2776;
constexpr int IDC_EXPLORER_FOLDER_FROM_DOCUMENT = 2777;
constexpr int IDC_EXPLORER_BACK = 2778;
constexpr int IDC_EXPLORER_FORWARD = 2779;

// Commands of the list's context menu ("Explorer"); the explorer handles none of them.
constexpr int ID_EXPLORER_MENU_OPEN = 136;
constexpr int ID_EXPLORER_MENU_OPEN_WITH = 137;
constexpr int ID_EXPLORER_MENU_COMPILE = 138;
constexpr int ID_EXPLORER_MENU_PROPERTIES = 135;

// The folder-path box: a text box with a folder-browse button at its right end.
class LEditBrowseCtrl : public wxPanel
{
public:
    LEditBrowseCtrl() = default;
    bool Create(wxWindow* parent, wxWindowID id, const wxRect& rect, const wxFont& font);

    LSkorrelFileExplorerParentWnd* owner = nullptr;

    wxTextCtrl* GetTextCtrl() const { return m_text; }
    wxBitmapButton* GetBrowseButton() const { return m_browse; }
    wxString GetValue() const { return m_text ? m_text->GetValue() : wxString(); }
    void SetValue(const wxString& text);
    // The folder-browse dialog put a folder into the box.
    void OnAfterUpdate();

private:
    void OnUpdateReflect(wxCommandEvent& event);
    void OnSetFocusReflect(wxFocusEvent& event);
    void OnKillFocusReflect(wxFocusEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnBrowse(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);

    wxTextCtrl* m_text = nullptr;
    wxBitmapButton* m_browse = nullptr;
};

// What the explorer does on the list's right-button and double-click events.
class LExplorerListCallbacks : public LListCtrlCallbacks
{
public:
    LExplorerListCallbacks(LSkorrelFileExplorerList* list, LSkorrelFileExplorerParentWnd* explorer,
                           wxWindow* menuOwner)
        : list(list)
        , explorer(explorer)
        , menuOwner(menuOwner)
    {}
    void OnRButtonDown(unsigned flags, const wxPoint& point) override;
    void OnRButtonUp(unsigned, const wxPoint&) override {}
    void OnItemClick(int) override {}
    void OnLButtonDblClk(unsigned flags, const wxPoint& point) override;

    LSkorrelFileExplorerList* list;
    LSkorrelFileExplorerParentWnd* explorer;
    wxWindow* menuOwner;
};

class LSkorrelFileExplorerParentWnd : public wxPanel, public LSuggestionsBoxCallback
{
public:
    LSkorrelFileExplorerParentWnd();
    ~LSkorrelFileExplorerParentWnd() override;

    // Fonts of the controls (small: the check box, the popup and the tips; medium: the two text
    // boxes). Unset fonts are derived from the system font. Call before Create.
    void SetFonts(const wxFont& small, const wxFont& medium);
    // The application's services; null: the application object when it implements them.
    void SetAppInterface(LAppInterface* app) { m_appInterface = app; }
    // Where the list reports failed renames and deletes (not owned).
    void SetNotifier(ExplorerNotifier* notifier);
    // Shows the list's context menu (default: a popup menu on the menu's owner window).
    std::function<void(wxWindow* owner, wxMenu& menu, const wxPoint& screenPoint)> showContextMenu;

    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize);

    // The focus given to the window goes to the list (a panel would hand it to its first child,
    // the path box).
    void SetFocus() override;

    // ---- navigation, history and search
    // Lists a folder (null: the path box's text), with a history entry when asked.
    void NavigateToFolder(const std::u16string* path, bool addHistory);
    void OnHistoryBack();
    void OnHistoryForward();
    void OnFolderUp();
    void OnSetFolderFromActiveDocument();
    void OnResetSearchResults();
    void OnSearchInSubfoldersClicked();
    void OnSearchTextChanged();
    void OpenSelectedItems();
    void SearchFiles();
    void OnSuggestionSelected(SuggestionEntry entry) override;
    // A listing has been stored (the caller holds the store).
    void OnStorageFilled(WSFileStorage& store);

    // ---- the folder popup
    void SetSuggestionsFilter(const std::u16string& text);
    void ShowSuggestions();

    // ---- controls
    LSkorrelFileExplorerList* GetList() const { return m_list; }
    LEditBrowseCtrl* GetPathBox() const { return m_pathBox; }
    wxTextCtrl* GetSearchBox() const { return m_searchBox; }
    CButtonWithTT* GetFlatListCheck() const { return m_flatListCheck; }
    wxBitmapButton* GetBackButton() const { return m_backButton; }
    wxBitmapButton* GetForwardButton() const { return m_forwardButton; }
    wxBitmapButton* GetUpButton() const { return m_upButton; }
    wxBitmapButton* GetFromDocumentButton() const { return m_fromDocumentButton; }
    wxBitmapButton* GetResetButton() const { return m_resetButton; }
    LSuggestionsBoxFolderPaths* GetFolderPopup() const { return m_folderPopup.get(); }
    CXInfoTip* GetInfoTip(int index) const { return m_infoTips[index]; }
    ExplorerToolTipCtrl& GetToolTipCtrl() { return m_toolTip; }
    TExplorerListThreadSafeAccess& GetListAccess() { return m_listAccess; }
    const std::vector<wxWindow*>& GetChildControls() const { return m_childControls; }
    int GetTextHeight() const { return m_textHeight; }
    // The control that has the focus, as the Tab ring names it.
    ExplorerControl FocusedControl() const;
    wxWindow* ControlWindow(ExplorerControl control) const;

    // What the window's key hook does with a key press; true when the key was consumed.
    bool PreTranslateKey(int keyCode, bool shift, int repeat = 1);

    // The services this window works with.
    LAppInterface* GetAppInterface() const;
    WSFileStorageThreadSafeAccess* GetStoreAccess() const;
    ExplorerNavigationState* GetNavigationState() const;

    bool pathFocusGuard = false;
    bool selectAllOnPathFocus = false;

private:
    void OnSize(wxSizeEvent& event);
    void OnSetFocus(wxFocusEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnColumnClick(wxListEvent& event);
    void OnBeginLabelEdit(wxListEvent& event);
    void OnEndLabelEdit(wxListEvent& event);
    void SaveColumnLayout();
    void MoveFocus(ExplorerControl from, bool shift);
    wxBitmapButton* MakeButton(int id, const wxArtID& art, const wxRect& rect, const wxString& tip);

    LAppInterface* m_appInterface = nullptr;
    ExplorerNotifier* m_notifier = nullptr;
    wxFont m_smallFont;
    wxFont m_mediumFont;
    int m_textHeight = 16;

    ExplorerToolTipCtrl m_toolTip;
    LEditBrowseCtrl* m_pathBox = nullptr;
    wxWeakRef<LSuggestionsBoxFolderPaths> m_folderPopup;
    CButtonWithTT* m_flatListCheck = nullptr;
    wxTextCtrl* m_searchBox = nullptr;
    wxBitmapButton* m_resetButton = nullptr;
    wxBitmapButton* m_backButton = nullptr;
    wxBitmapButton* m_forwardButton = nullptr;
    wxBitmapButton* m_upButton = nullptr;
    wxBitmapButton* m_fromDocumentButton = nullptr;
    TExplorerListThreadSafeAccess m_listAccess;
    LSkorrelFileExplorerList* m_list = nullptr;
    CXInfoTip* m_infoTips[2] = {nullptr, nullptr};
    std::vector<wxWindow*> m_childControls;
    std::unique_ptr<WxExplorerImageList> m_imageList;
    std::unique_ptr<WxExplorerIconProvider> m_iconProvider;
};
