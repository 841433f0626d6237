// The About window's lines from the version resource's entries.
#include <gtest/gtest.h>

#include "windows/about_text.h"

namespace {

using kovo::windows::about_view;

TEST(AboutText, EveryEntryOnItsLineAndEmptyOnesLeftOut) {
  const auto full = about_view({"Kovo for Cyma IV", "4.2.20.0", "pilot 3", "Copyright (C) Kovo", "Kovo is a mark"});
  EXPECT_EQ(full.caption, "About Kovo for Cyma IV");
  EXPECT_EQ(full.version, "Version 4.2.20.0");
  EXPECT_EQ(full.special_build, "Special Build: pilot 3");
  EXPECT_EQ(full.legal, "Copyright (C) Kovo\r\nKovo is a mark");

  // A release carries an empty special build; a resource may lack entries.
  const auto bare = about_view({"Kovo for Cyma IV", " ", "", "", "Kovo is a mark"});
  EXPECT_EQ(bare.version, "");
  EXPECT_EQ(bare.special_build, "");
  EXPECT_EQ(bare.legal, "Kovo is a mark");
  EXPECT_EQ(about_view({}).caption, "About");
}

}  // namespace
