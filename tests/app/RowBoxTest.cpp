// The CSV row box: what it keeps of a record, its geometry and colours, and its layout pass.
#include <gtest/gtest.h>

#include "CsvDocumentCore.h"
#include "LCSVRowGridBox.h"
#include "LGridViewManager.h"
#include "ViewTestSupport.h"

namespace {

TEST(RowBoxTest, SetFieldsKeepsAtMost100UnitsAndNeverHalfAPair)
{
    struct Case
    {
        const char* name;
        std::u16string text;
        size_t kept;
    };
    std::u16string pairAt99(98, u'a');
    pairAt99 += u"\xD83D\xDE00"; // units 98 and 99 form one character
    pairAt99 += u"bc";
    std::u16string pairAt100(99, u'a');
    pairAt100 += u"\xD83D\xDE00tail"; // unit 99 is the high half
    const Case cases[] = {
        {"short", u"abc", 3},
        {"exactly 100", std::u16string(100, u'x'), 100},
        {"250 characters", std::u16string(250, u'y'), 100},
        {"pair ending at unit 99 stays whole", pairAt99, 100},
        {"pair starting at unit 99 is dropped", pairAt100, 99},
        {"empty", u"", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        LCSVRowGridBox box(nullptr);
        box.SetFields({CSVField{c.text, true}}, 7);
        ASSERT_EQ(box.fields.size(), 1u);
        EXPECT_EQ(box.fields[0].text, c.text.substr(0, c.kept));
        EXPECT_TRUE(box.fields[0].quoted);
        EXPECT_EQ(box.rowNumber, 7u);
        EXPECT_TRUE(box.filled);
    }
}

TEST(RowBoxTest, AccessorKindNineIsNeverAttached)
{
    LGridBox host(nullptr);
    auto* rowBox = new LCSVRowGridBox(nullptr);
    host.SetDataAccessor(rowBox);
    EXPECT_EQ(host.GetDataAccessor(), nullptr);
    EXPECT_EQ(rowBox->owner, nullptr);
    EXPECT_EQ(rowBox->classTag, 1);
    rowBox->Release();
}

TEST(RowBoxTest, GeometryForColumnWidth400)
{
    RowBoxGeometry g = LCSVRowGridBox::ComputeGeometry(0, 40, 400, 2000, 18, 20, 3, 7);
    EXPECT_EQ(g.headerWidth, 133);
    EXPECT_EQ(g.header, (RowRect{0, 40, 133, 58}));
    EXPECT_EQ(g.number, (RowRect{0, 40, 129, 58}));
    EXPECT_EQ(g.separatorX, 132);
    EXPECT_EQ(g.background, (RowRect{133, 40, 2000, 58}));
    ASSERT_EQ(g.cells.size(), 3u);
    EXPECT_EQ(g.cells[0].text.left, 141);
    EXPECT_EQ(g.cells[0].text.Width(), 384);
    EXPECT_EQ(g.cells[0].leftQuote, (RowRect{134, 40, 141, 58}));
    EXPECT_EQ(g.cells[0].rightQuote, (RowRect{525, 40, 533, 58}));
    EXPECT_EQ(g.cells[0].borderX, 533);
    EXPECT_EQ(g.cells[2].borderX, 1333);
    EXPECT_EQ(LCSVRowGridBox::BoxWidth(400, 3), 1300);
}

TEST(RowBoxTest, RowColoursAlternate)
{
    EXPECT_EQ(LCSVRowGridBox::ComputeGeometry(0, 0, 400, 800, 18, 20, 1, 7).backgroundColour, 0xC8E6FFul);
    EXPECT_EQ(LCSVRowGridBox::ComputeGeometry(0, 0, 400, 800, 18, 20, 1, 8).backgroundColour, 0xDCF0FFul);
}

TEST(RowBoxTest, HorizontalScrollHidesCellsUnderTheHeader)
{
    struct Case
    {
        int64_t scrolled;
        size_t firstPaintedField;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {399, 1}, {400, 1}, {401, 2}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.scrolled);
        RowBoxGeometry g = LCSVRowGridBox::ComputeGeometry(-c.scrolled, 0, 400, 3000, 18, 20, 4, 1);
        EXPECT_EQ(g.header.left, 0) << "the header does not move";
        ASSERT_FALSE(g.cells.empty());
        EXPECT_EQ(g.cells.front().field, c.firstPaintedField);
        for (const RowCellGeometry& cell : g.cells)
            EXPECT_GE(cell.text.left - LCSVRowGridBox::kCellMargin, g.headerWidth);
    }
}

TEST(RowBoxTest, FarColumnsArePlacedWhereTheyBelong)
{
    // A row of 200,000 fields with column width 400 is 80,000,100 pixels wide: far beyond 2^26
    // (column 167,773) the cells scrolled to still start at the header's right edge, and only the
    // cells in view are listed.
    const size_t fields = 200000;
    const int64_t columns[] = {1, 167772, 167773, 170001, 199990, 200000};
    for (const int64_t column : columns)
    {
        SCOPED_TRACE(column);
        const int64_t scrolled = (column - 1) * 400;
        RowBoxGeometry g = LCSVRowGridBox::ComputeGeometry(-scrolled, 0, 400, 1000, 18, 20, fields, 1);
        ASSERT_FALSE(g.cells.empty());
        EXPECT_EQ(g.cells.front().field, static_cast<size_t>(column - 1));
        EXPECT_EQ(g.cells.front().text.left, 133 + LCSVRowGridBox::kCellMargin);
        EXPECT_EQ(g.cells.front().borderX, 533);
        EXPECT_LE(g.cells.size(), 3u);
        EXPECT_EQ(g.cells.back().field, std::min<size_t>(fields - 1, static_cast<size_t>(column - 1) + 2));
    }
    EXPECT_EQ(LCSVRowGridBox::BoxWidth(400, fields), 80000100);
}

TEST(RowBoxTest, HeaderShowsTheBoxsRowNumberGroupedWithDots)
{
    struct Case
    {
        uint64_t row;
        const char16_t* text;
    };
    const Case cases[] = {{1, u"1"},
                          {999, u"999"},
                          {1000, u"1.000"},
                          {1234567, u"1.234.567"},
                          {14321906, u"14.321.906"},
                          {5000000000, u"5.000.000.000"}};
    LCSVRowGridBox box(nullptr);
    const CSVRecord record(1);
    for (const Case& c : cases)
    {
        box.SetFields(record, c.row);
        EXPECT_EQ(box.HeaderText(), c.text) << c.row;
    }
}

// Counts the boxes that report themselves at the top edge.
class TopRecorder : public CsvViewCore
{
public:
    void OnTopBoxDrawn(LGridBox* box) override { tops.push_back(box->rowNumber); }
    std::vector<uint64_t> tops;
};

TEST(RowBoxTest, DrawStacksChildrenAndReportsTheTopBox)
{
    TopRecorder manager;
    LCSVRowGridBox root(nullptr);
    root.kind = BOX_KIND_ROOT;
    auto* holder = new LCSVRowGridBox(nullptr);
    holder->kind = BOX_KIND_ROW;
    holder->placeholder = true;
    holder->rowNumber = 1;
    holder->height = 100;
    holder->parent = &root;
    root.children.push_back(holder);
    for (uint64_t n = 6; n <= 8; ++n)
    {
        auto* box = new LCSVRowGridBox(nullptr);
        box->kind = BOX_KIND_ROW;
        box->SetFields({CSVField{u"a", false}, CSVField{u"b", false}}, n);
        box->parent = &root;
        root.children.push_back(box);
    }

    int shared = 0;
    int widest = 500;
    LGridDrawArgs args;
    args.columnWidth = 400;
    args.clientWidth = 500;
    args.clientHeight = 300;
    args.rowHeight = 18;
    args.sharedInt = &shared;
    args.widestWidth = &widest;
    args.measureOnly = true;
    args.recordPosition = true;
    args.manager = &manager;
    EXPECT_EQ(root.Draw(args), 160);
    EXPECT_EQ(holder->height, 100) << "a placeholder keeps its height";
    EXPECT_EQ(root.children.back()->y, 140);
    EXPECT_EQ(root.children.back()->height, 20);
    EXPECT_EQ(widest, 900) << "2 fields: 800 + 100";
    EXPECT_TRUE(manager.tops.empty()) << "a layout pass reports nothing";

    // Painted with the top edge at row 7 (y 120): only that box reports itself.
    args.measureOnly = false;
    args.verticalOffset = 120;
    root.Draw(args);
    ASSERT_EQ(manager.tops.size(), 1u);
    EXPECT_EQ(manager.tops[0], 7u);
}

} // namespace
