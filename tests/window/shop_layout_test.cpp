// The shop window's layout table, which both faces build from: its controls and columns in
// the order the window's decisions and the faces index them, what names each control, and
// columns that fit the window at its least width.
#include "window/shop_layout.h"
#include "window/shop_record.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quenfall::window {
namespace {

TEST(ShopLayout, ControlsAreListedInTheirOwnOrderLineByLineAndTheTabOrderFollowsThem) {
    for (std::size_t i = 0; i < ShopControls.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(ShopControls[i].Id), i) << "ShopControlOf indexes the table by control";
        if (i > 0) {
            EXPECT_GE(ShopControls[i].Line, ShopControls[i - 1].Line) << "lines go top to bottom";
        }
    }
    // A dialog tabs in the order its controls were made: the faces make them in the table's
    // order, so the tab order must be a part of it, in the same order.
    std::size_t at = 0;
    for (ShopControl focused : ShopTabOrder) {
        while (at < ShopControls.size() && ShopControls[at].Id != focused) ++at;
        ASSERT_LT(at, ShopControls.size()) << static_cast<int>(focused) << " is out of the table's order";
        EXPECT_NE(ShopControls[at].Kind, ShopControlKind::Text) << "a line of text takes no focus";
    }
    // One line holds the list alone: it takes the height the window leaves.
    const ShopControlSpec& list = ShopControlOf(ShopControl::RadioList);
    EXPECT_EQ(list.Kind, ShopControlKind::List);
    EXPECT_EQ(std::count_if(ShopControls.begin(), ShopControls.end(),
                            [&](const ShopControlSpec& c) { return c.Line == list.Line; }),
              1);
}

TEST(ShopLayout, TheControlsWithoutATextOfTheirOwnAreNamedByAVisibleLabel) {
    EXPECT_EQ(ShopControlOf(ShopControl::PackageEdit).Label, PackagePathName);
    EXPECT_EQ(ShopControlOf(ShopControl::RadioList).Label, RadioListName);
    for (const ShopControlSpec& c : ShopControls) {
        const bool ownText =
            c.Kind == ShopControlKind::Button || c.Kind == ShopControlKind::Text || c.Kind == ShopControlKind::Check;
        EXPECT_EQ(c.Label.empty(), ownText) << static_cast<int>(c.Id);
    }
}

TEST(ShopLayout, ColumnsHaveTheirHeadingsAndOneStretchesAndAllFitTheLeastWindow) {
    const std::string_view headings[] = {LocationHeading, SerialHeading,  NodeHeading,   StatusHeading,
                                            ProgressHeading, ElapsedHeading, OutcomeHeading};
    int fixed = 0;
    int stretching = 0;
    for (std::size_t i = 0; i < ShopColumns.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(ShopColumns[i].Id), i);
        EXPECT_EQ(ShopColumns[i].Heading, headings[i]);
        EXPECT_GE(ShopColumns[i].Width, 0);
        if (ShopColumns[i].Width == 0) ++stretching;
        fixed += ShopColumns[i].Width;
    }
    EXPECT_EQ(stretching, 1);
    EXPECT_EQ(ShopColumnOf(ShopColumn::Status).Width, 0) << "the status text is the one that runs long";
    // The window's margins and the list's frame take some 40 pixels of its least width.
    EXPECT_LE(fixed + StretchingColumnLeastWidth, ShopLeastWidth - 40);
    EXPECT_LE(ShopLeastWidth, ShopOpenWidth);
    EXPECT_LE(ShopLeastHeight, ShopOpenHeight);
}

TEST(ShopLayout, TextCellsShowTheRowAndPaintedCellsNoText) {
    ShopRowView row;
    row.Location = u"1-1.2";
    row.Serial = u"EMULATED-0002 (emulated)";
    row.Node = u"/dev/sdc";
    row.Status = u" Sending...";
    row.ProgressWidth = 100;
    row.Elapsed = u"0:42";
    row.Outcome = RowOutcome::Success;
    EXPECT_EQ(CellText(row, ShopColumn::Location), u"1-1.2");
    EXPECT_EQ(CellText(row, ShopColumn::Serial), u"EMULATED-0002 (emulated)");
    EXPECT_EQ(CellText(row, ShopColumn::Node), u"/dev/sdc");
    EXPECT_EQ(CellText(row, ShopColumn::Status), u" Sending...");
    EXPECT_EQ(CellText(row, ShopColumn::Elapsed), u"0:42");
    for (const ShopColumnSpec& column : ShopColumns) {
        EXPECT_EQ(CellText(row, column.Id).empty(), column.Cell != ShopCell::Text) << static_cast<int>(column.Id);
    }
    EXPECT_EQ(ShopColumnOf(ShopColumn::Progress).Cell, ShopCell::ProgressBar);
    EXPECT_EQ(ShopColumnOf(ShopColumn::Outcome).Cell, ShopCell::OutcomeIcon);
}

TEST(ShopRecord, EveryRowIsOneLineOfFieldsWhateverTheTextsHold) {
    ShopRecordRow done{"1-1.1", "SER,1", false, "/dev/sdb", "radio \"new\".bin", "ab12", " Program upgrade is complete!",
                       std::chrono::milliseconds(12345), "2026-12-10T10:00:00.000Z"};
    ShopRecordRow odd{"1-1.2", "", true, "/dev/sdc", "=cmd|x.bin", "", "line one\nline\ttwo\x7f", std::nullopt, ""};
    ShopRecordRow fresh{"1-1.3", "EMULATED-0003", true, "/dev/sdd", "", "", "", std::nullopt, ""};
    const std::vector<ShopRecordRow> rows{done, odd, fresh};
    EXPECT_EQ(ShopRecordCsv(rows),
              "location,serial,emulated,node,package,sha256,outcome,seconds,start\r\n"
              "1-1.1,\"SER,1\",false,/dev/sdb,\"radio \"\"new\"\".bin\",ab12,\" Program upgrade is complete!\",12.3,"
              "2026-12-10T10:00:00.000Z\r\n"
              "1-1.2,,true,/dev/sdc,'=cmd|x.bin,,line one\\x0aline\\x09two\\x7f,,\r\n"
              "1-1.3,EMULATED-0003,true,/dev/sdd,,,,,\r\n");
    EXPECT_EQ(ShopRecordCsv({}), "location,serial,emulated,node,package,sha256,outcome,seconds,start\r\n");
}

}  // namespace
}  // namespace quenfall::window
