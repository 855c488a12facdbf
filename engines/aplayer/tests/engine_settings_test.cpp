// The synthesised media index (read by the player to map downloaded bytes to times) and the
// parsing of extra mpv options.
#include "engine_settings.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "mpv_options.h"

namespace aplayer {
namespace {

struct Item {
    long long time;
    long long offset;
};

// Parses the index the way the player does: items split at ';', each "time-offset".
std::vector<Item> Parse(const std::string& index) {
    std::vector<Item> items;
    std::stringstream in(index);
    std::string part;
    while (std::getline(in, part, ';')) {
        const auto dash = part.find('-');
        items.push_back({std::stoll(part.substr(0, dash)), std::stoll(part.substr(dash + 1))});
    }
    return items;
}

void ExpectWellFormed(const std::string& index, long long durationMs, long long bytes) {
    ASSERT_FALSE(index.empty());
    EXPECT_NE(index.back(), ';') << "an empty last item would read as time 0, offset 0";
    const auto items = Parse(index);
    ASSERT_GE(items.size(), 16u);
    EXPECT_EQ(items.front().time, 0);
    EXPECT_EQ(items.front().offset, 0);
    EXPECT_EQ(items.back().time, durationMs);
    EXPECT_EQ(items.back().offset, bytes);
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_GE(items[i].time, items[i - 1].time) << i;
        EXPECT_GT(items[i].offset, items[i - 1].offset) << i;
    }
}

TEST(MediaIndexTest, SpansThePlayInOrder) {
    ExpectWellFormed(MediaIndex(2000, 1000), 2000, 1000);  // short: still 16 items
    ExpectWellFormed(MediaIndex(3 * 3600 * 1000, 4LL << 30), 3 * 3600 * 1000, 4LL << 30);
    EXPECT_EQ(Parse(MediaIndex(3 * 3600 * 1000, 4LL << 30)).size(), 4096u);
    EXPECT_EQ(Parse(MediaIndex(60000, 827372)).size(), 61u);
    // Offsets of a very large file do not overflow.
    ExpectWellFormed(MediaIndex(7200000, 1LL << 50), 7200000, 1LL << 50);
}

TEST(MediaIndexTest, UnknownDurationOrSizeGivesNoIndex) {
    EXPECT_EQ(MediaIndex(0, 1000), "");
    EXPECT_EQ(MediaIndex(5000, 0), "");
    EXPECT_EQ(MediaIndex(-1, -1), "");
}

TEST(MpvOptionsTest, ParsesNameValueItems) {
    const auto options = ParseMpvOptions("  vo=gpu --gpu-sw=yes\tao=null  opt=a=b ");
    ASSERT_TRUE(options);
    const MpvOptionList expected = {
        {"vo", "gpu"}, {"gpu-sw", "yes"}, {"ao", "null"}, {"opt", "a=b"}};
    EXPECT_EQ(*options, expected);
    EXPECT_TRUE(ParseMpvOptions("")->empty());
    EXPECT_FALSE(ParseMpvOptions("vo=null fullscreen"));
    EXPECT_FALSE(ParseMpvOptions("=null"));
}

}  // namespace
}  // namespace aplayer
