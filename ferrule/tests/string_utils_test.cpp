#include "string_utils.h"

#include <gtest/gtest.h>

#include "string_map.h"

TEST(StringUtils, TrimAndLowerCase) {
    EXPECT_EQ(TrimString(" \t a b \r\n"), "a b");
    EXPECT_EQ(TrimString(" \t\r\n"), "");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(ToLower("AppSetting-SavePath \xc3\x84"), "appsetting-savepath \xc3\x84");
}

TEST(StringUtils, SplitStringDropsEmptyRuns) {
    EXPECT_EQ(SplitString(",,a,b;;c,", ",;"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(SplitString("", ",").empty());
    EXPECT_TRUE(SplitString(",,,", ",").empty());
}

TEST(StringUtils, SplitTextKeepsOrSkipsEmptyPieces) {
    std::list<std::string> kept;
    SplitText("a,,b", ',', kept, false);
    EXPECT_EQ(kept, (std::list<std::string>{"a", "", "b"}));
    std::list<std::string> skipped;
    SplitText("a,,b,", ',', skipped, true);
    EXPECT_EQ(skipped, (std::list<std::string>{"a", "b"}));
    std::list<std::string> single;
    SplitText("", ',', single, false);
    EXPECT_EQ(single, (std::list<std::string>{""}));
}

TEST(StringMap, ReplacesRemovesAndEmpties) {
    CMapStringToPtrSec map;
    map.SetAt("a", "1");
    map.SetAt("a", "2");
    map.SetAt("b", "3");
    EXPECT_EQ(map.Lookup("a").value_or(""), "2");
    EXPECT_EQ(map.GetCount(), 2u);
    EXPECT_TRUE(map.RemoveKey("b"));
    EXPECT_FALSE(map.RemoveKey("b"));
    EXPECT_FALSE(map.Lookup("b").has_value());
    map.RemoveAll();
    EXPECT_EQ(map.GetCount(), 0u);
}
