// The teletext window's page choice.
#include "orvane/core/TeletextModel.h"

#include <gtest/gtest.h>

namespace {

TEST(TeletextModel, DigitsChooseAPageOnlyWhenComplete) {
  orvane::TeletextModel m;
  EXPECT_FALSE(m.Digit(9));  // no page starts with 9 (or 0)
  EXPECT_FALSE(m.Digit(0));
  EXPECT_FALSE(m.Digit(8));
  EXPECT_FALSE(m.Digit(8));
  EXPECT_EQ(m.EntryText(), "88-");
  EXPECT_EQ(m.Page(), 100);
  EXPECT_TRUE(m.Digit(8));
  EXPECT_EQ(m.Page(), 888);
  EXPECT_EQ(m.EntryText(), "888");
  m.NextPage();
  EXPECT_EQ(m.Page(), 889);
  m.Digit(1), m.Digit(0);
  m.PreviousPage();  // a step abandons the digits typed
  EXPECT_EQ(m.Page(), 888);
  EXPECT_EQ(m.EntryText(), "888");
}

TEST(TeletextModel, PagesWrapAndLinksAndSubpagesCycle) {
  orvane::TeletextModel m;
  m.PreviousPage();
  EXPECT_EQ(m.Page(), 899);
  m.NextPage();
  EXPECT_EQ(m.Page(), 100);

  const std::vector<int> subs = {1, 2, 3};
  m.PreviousSubpage(subs);
  EXPECT_EQ(m.Subpage(), 3);
  m.NextSubpage(subs);
  EXPECT_EQ(m.Subpage(), 1);
  m.NextSubpage({});
  EXPECT_EQ(m.Subpage(), 1);

  m.ToggleReveal();
  EXPECT_TRUE(m.Shows(1, 1));
  EXPECT_FALSE(m.FollowLink(2, {101, 200, 0, 888}));  // no yellow link
  EXPECT_FALSE(m.FollowLink(4, {101, 200, 150, 888}));
  EXPECT_TRUE(m.FollowLink(3, {101, 200, 150, 888}));
  EXPECT_EQ(m.Page(), 888);
  EXPECT_EQ(m.Subpage(), 0);
  EXPECT_FALSE(m.Shows(1, 1));  // a new page starts concealed
  EXPECT_TRUE(m.Shows(2, 1));
}

}  // namespace
