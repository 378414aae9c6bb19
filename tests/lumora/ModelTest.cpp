// The browser's list model and view geometry, without a display: the orders,
// paging and enabling at the ends, and the fit and cell numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumora/ImageList.h"
#include "lumora/ViewLayout.h"
#include "support/TestEnv.h"

using namespace lumora;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

namespace {

std::vector<std::string> Names(const CImageList& list) {
    std::vector<std::string> out;
    for (const auto& e : list.Entries()) out.push_back(e.name);
    return out;
}

std::string Folder(const ScopedHome& home, const std::vector<std::string>& names) {
    const std::string dir = home.path("pics");
    for (const auto& n : names) EXPECT_TRUE(WriteFile(dir + "/" + n, "x"));
    return dir;
}

std::string Numbered(const ScopedHome& home, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("img" + std::to_string(100 + i) + ".jpg");
    return Folder(home, names);
}

}  // namespace

TEST(LumoraModel, OrdersByNameIgnoringCaseAndByTypeInPatternOrder) {
    ScopedHome home;
    const std::string dir =
        Folder(home, {"b.jpg", "A.bmp", "c.GIF", "photobmp", "x.jpeg", "z.TIF", "y.tga", "w.pcx", "\xff\xfe.jpg"});
    CImageList list;
    list.SetSortMode(kSortByName);
    ASSERT_TRUE(list.Refresh(dir));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A.bmp", "b.jpg", "c.GIF", "photobmp", "w.pcx", "y.tga",
                                                     "z.TIF", "\xff\xfe.jpg"}));
    EXPECT_EQ(list.Entry(0).path, dir + "/A.bmp");

    list.SetSortMode(kSortByType);
    ASSERT_TRUE(list.Refresh(dir));
    const auto byType = Names(list);
    ASSERT_EQ(byType.size(), 7u);  // neither photobmp nor x.jpeg
    EXPECT_EQ(byType[0], "A.bmp");
    EXPECT_EQ(byType[1], "c.GIF");
    EXPECT_EQ(byType[4], "w.pcx");
    EXPECT_EQ(byType[5], "y.tga");
    EXPECT_EQ(byType[6], "z.TIF");

    list.SetSortMode(kSortByDate);
    ASSERT_TRUE(list.Refresh(dir));
    EXPECT_EQ(list.Count(), 8u);
}

TEST(LumoraModel, TypeOrderListsEachTypeInNaturalNameOrder) {
    ScopedHome home;
    const std::string dir = Folder(home, {"big10.jpg", "big09.jpg", "Big2.JPG", "big01.jpg", "big1.jpg", "z.bmp",
                                          "img10b.jpg", "img10a.jpg", "a.bmp", "big100.jpg"});
    CImageList list;
    ASSERT_TRUE(list.Refresh(dir));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a.bmp", "z.bmp", "big01.jpg", "big1.jpg", "Big2.JPG",
                                                     "big09.jpg", "big10.jpg", "big100.jpg", "img10a.jpg",
                                                     "img10b.jpg"}));
}

TEST(LumoraModel, RefreshOfAMissingFolderLeavesNothingToNavigate) {
    ScopedHome home;
    CImageList list;
    ASSERT_TRUE(list.Refresh(Numbered(home, 12)));
    ASSERT_TRUE(list.Next());
    EXPECT_FALSE(list.Refresh(home.path("gone")));
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.PageFirst(), 0);
    EXPECT_EQ(list.PageCount(), 0);
    EXPECT_FALSE(list.CanNext() || list.CanPrevious() || list.CanFirst() || list.CanLast());
    EXPECT_EQ(list.CurrentPath(), "");
}

TEST(LumoraModel, LastPageForNineTenAndEighteenEntries) {
    for (auto [count, first, onPage] : {std::tuple{9, 0, 9}, {10, 9, 1}, {18, 9, 9}}) {
        ScopedHome home;
        CImageList list;
        ASSERT_TRUE(list.Refresh(Numbered(home, count)));
        EXPECT_EQ(list.CanLast(), count > 9) << count;
        list.Last();
        EXPECT_EQ(list.PageFirst(), first) << count;
        EXPECT_EQ(list.CurrentIndex(), first) << count;
        EXPECT_EQ(list.PageCount(), onPage) << count;
        EXPECT_FALSE(list.CanNext()) << count;
    }
}

TEST(LumoraModel, NavigationStopsAtBothEndsInEachMode) {
    ScopedHome home;
    CImageList list;
    ASSERT_TRUE(list.Refresh(Numbered(home, 10)));
    EXPECT_FALSE(list.CanPrevious());
    EXPECT_FALSE(list.Previous());
    ASSERT_TRUE(list.Next());
    EXPECT_FALSE(list.Next());
    EXPECT_TRUE(list.CanFirst());
    ASSERT_TRUE(list.Previous());
    EXPECT_EQ(list.PageFirst(), 0);

    // Single-image mode steps one entry; the page follows on the way back.
    ASSERT_TRUE(list.Select(8));
    EXPECT_EQ(list.CurrentPath(), list.Entry(8).path);
    ASSERT_TRUE(list.ShowSingle(8));
    ASSERT_TRUE(list.Next());
    EXPECT_EQ(list.CurrentIndex(), 9);
    EXPECT_FALSE(list.CanNext());
    EXPECT_FALSE(list.CanLast());
    EXPECT_EQ(list.SelectedCell(), 0);
    list.ShowMulti();
    EXPECT_EQ(list.PageFirst(), 9);
    EXPECT_EQ(list.SelectedCell(), 0);
    ASSERT_TRUE(list.First());
    EXPECT_EQ(list.CurrentIndex(), 0);

    ASSERT_TRUE(list.ShowSingle(0));
    EXPECT_FALSE(list.CanFirst());
    EXPECT_FALSE(list.CanPrevious());
    // A cell beyond the page's entries is not there to select.
    list.ShowMulti();
    list.Last();
    EXPECT_FALSE(list.Select(1));
    EXPECT_EQ(list.CurrentIndex(), 9);
}

TEST(LumoraLayout, FitsHeightFirstThenWidthAndCentres) {
    const Fitted tall = FitSingle(1600, 1200, 1000, 700);
    EXPECT_EQ(tall.width, 866);
    EXPECT_EQ(tall.height, 650);
    EXPECT_EQ(tall.x, 66);
    EXPECT_EQ(tall.y, 25);
    const Fitted wide = FitSingle(2000, 100, 1000, 700);
    EXPECT_EQ(wide.width, 950);
    EXPECT_EQ(wide.height, 47);
    EXPECT_EQ(wide.x, 25);
    EXPECT_EQ(wide.y, 326);
    const Fitted small = FitSingle(40, 30, 1000, 700);  // never enlarged
    EXPECT_EQ(small.width, 40);
    EXPECT_EQ(small.x, 480);
    const Fitted none = FitSingle(4000, 3000, 30, 20);  // box below zero
    EXPECT_EQ(none.width, 1);
    EXPECT_EQ(none.height, 1);
}

TEST(LumoraLayout, CellsLabelsAndStrictHitTest) {
    const CellLayout c4 = LayoutCell(4, 1000, 700);  // middle cell: 333 x 233 per cell
    EXPECT_EQ(c4.cell.left, 338);
    EXPECT_EQ(c4.cell.top, 238);
    EXPECT_EQ(c4.cell.right, 338 + 328);
    EXPECT_EQ(c4.cell.bottom, 238 + 208);
    EXPECT_EQ(c4.nameX, 358);
    EXPECT_EQ(c4.nameY, 238 + 233 - 20);
    EXPECT_EQ(c4.sizeX, 338 + 328 / 3);
    EXPECT_EQ(c4.sizeY, 238 + 233 - 50);
    EXPECT_EQ(HitCell(339, 239, 9, 1000, 700), 4);
    EXPECT_EQ(HitCell(338, 239, 9, 1000, 700), -1);  // on the edge
    EXPECT_EQ(HitCell(339, 239, 4, 1000, 700), -1);  // only four entries on the page
    EXPECT_EQ(HitCell(5, 600, 9, 1000, 700), -1);    // the label strip
}
