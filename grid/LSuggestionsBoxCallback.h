// The entry of an auto-complete popup and the interface that hears which entry was chosen.
#pragma once

#include <string>

struct SuggestionEntry
{
    std::u16string text;
    bool hot = false;      // the mouse is over its row
    bool selected = false; // the keyboard selection is on its row
    int image = -1;        // index into the popup's icons; -1 none
};

class LSuggestionsBoxCallback
{
public:
    virtual void OnSuggestionSelected(SuggestionEntry entry) = 0;

protected:
    ~LSuggestionsBoxCallback() = default;
};
