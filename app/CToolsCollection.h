// The tools list that the explorer services hand out; nothing ever adds a tool.
#pragma once

#include <cstdint>
#include <list>

#include <wx/string.h>

struct CTool
{
    wxString command;
    wxString arguments;
    wxString initialDirectory;
    wxString menuText;
    int64_t flags = 0;
    wxString toolTip;
    wxString description;
};

class CToolsCollection : public std::list<CTool>
{
public:
    virtual ~CToolsCollection() = default;
};
