// Command, window and control ids shared by the main frame, the document, the view and the panes.
// The viewer's own ids keep their numbers; the platform's standard commands use wx's stock ids,
// and the standard ids that lie beyond wx's window-id range get numbers of our own below 4999.
#pragma once

#include <wx/defs.h>

enum : int
{
    // Pane and dialog commands
    ID_VIEW_CUSTOMIZE = 126,
    ID_WINDOW_MANAGER = 131,
    ID_FILEVIEW_PROPERTIES = 135,
    ID_EXPLORER_OPEN = 136,
    ID_EXPLORER_OPEN_WITH = 137,
    ID_EXPLORER_COMPILE = 138,

    // Panes (window ids; the View menu toggles them with the same ids)
    ID_VIEW_FILEVIEW = 133,
    ID_VIEW_OUTPUTWND = 149,
    ID_VIEW_ROWDETAILS = 150,
    ID_VIEW_PROPERTIESWND = 343,

    // Controls inside the panes
    ID_OUTPUT_LIST = 1,
    ID_FILEVIEW_TREE = 4,
    ID_ROWDETAILS_EDITOR = 151,
    ID_PROPERTY_SEMICOLON = 1000,
    ID_PROPERTY_COMMA = 1001,
    ID_PROPERTY_TABULATOR = 1002,
    ID_PROPERTY_SEPARATOR_GROUP = 1003,
    ID_PROPERTY_APPLY = 1004,
    ID_PROPERTY_ENCODING = 1005,

    // Document commands (the toolbar boxes and the Find toolbar)
    ID_GOTO_LINE = 345,
    ID_GOTO_LINE_COMBO = 346,
    ID_SEARCH = 347,
    ID_FIND_NEXT = 348,
    ID_SEARCH_COMBO = 349,
    ID_MATCH_CASE = 350,

    // Standard commands that have no wx stock id in the window-id range
    ID_FILE_PRINT_DIRECT = 4001,
    ID_WINDOW_NEW = 4002,
    ID_WINDOW_SPLIT = 4003,
    ID_NEXT_PANE = 4004,
    ID_PREV_PANE = 4005,
    ID_VIEW_TOOLBAR = 4006,
    ID_VIEW_STATUS_BAR = 4007,
    ID_VIEW_FIND_TOOLBAR = 4008,
    ID_MENU_BAR = 4009,
    ID_STATUS_TIMER = 4010,
};

// The grid's selection-frame colour set by the main frame, as a 0x00BBGGRR value.
constexpr unsigned long kSelectionFrameColour = 0x00DC5050;
