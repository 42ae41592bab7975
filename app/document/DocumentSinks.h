// What the document core calls outside itself. The wx side implements these on its panes, views and
// message boxes; tests implement them with recorders. All calls come on the GUI thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CSVReader.h"
#include "DocumentReadOptions.h"

// The Output pane.
class ILogSink
{
public:
    virtual ~ILogSink() = default;
    virtual void AddLine(const std::u16string& line) = 0;
};

// The Properties pane.
class IPropertiesSink
{
public:
    virtual ~IPropertiesSink() = default;
    virtual void SetSettings(const DocumentReadOptions& options) = 0;
};

// The Row details pane.
class IRowDetailsSink
{
public:
    virtual ~IRowDetailsSink() = default;
    // Selects the first occurrence of text in the pane; text is already lower-cased when matchCase is off.
    virtual void FindText(const std::u16string& text, bool matchCase) = 0;
};

// Modal message boxes.
class INotifier
{
public:
    virtual ~INotifier() = default;
    // An information box (wxOK | wxICON_INFORMATION).
    virtual void Info(const std::u16string& text) = 0;
    // An error box (wxOK | wxICON_ERROR).
    virtual void Error(const std::u16string& text) = 0;
};

// One view of the document: the grid that shows its rows. Row numbers count from 1. The rows
// handed over belong to the document: copy what is kept, they may be released or reused by the
// document's next call that allows unloading.
class IRowsSink
{
public:
    virtual ~IRowsSink() = default;
    // Replaces the grid's content with the first segment's rows.
    virtual void FillGrid(const std::vector<CSVRecord>& rows, int64_t totalEstimate) = 0;
    // Merges a segment's rows (numbered from firstRow) into the existing row boxes.
    virtual void MergeRows(const std::vector<CSVRecord>& rows, int64_t firstRow, int64_t totalEstimate) = 0;
    // Shows and selects a row of the given segment; the row may lie outside it (nothing is selected then).
    virtual bool SelectRow(int64_t row, const std::vector<CSVRecord>& rows, int64_t firstRow,
                           int64_t totalEstimate) = 0;
    // The row of the last box of the first selected range; false when nothing is selected.
    virtual bool GetLastSelectedRow(int64_t& row) = 0;
};
