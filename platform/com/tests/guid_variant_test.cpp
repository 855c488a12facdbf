#include <gtest/gtest.h>

#include <set>

#include "com/guid.h"
#include "com/interfaces.h"
#include "com/variant.h"

using namespace com;

namespace {

constexpr GUID kSample = MakeGuid("{14DACFF5-4B08-494b-A580-25F2ED930DA7}");

TEST(Guid, ParsesPrintsAndComparesWithoutRegardToCase) {
    auto lower = ParseGuid("{14dacff5-4b08-494b-a580-25f2ed930da7}");
    ASSERT_TRUE(lower);
    EXPECT_EQ(*lower, kSample);
    EXPECT_EQ(kSample.Data1, 0x14DACFF5u);
    EXPECT_EQ(kSample.Data2, 0x4B08u);
    EXPECT_EQ(kSample.Data4[0], 0xA5);
    EXPECT_EQ(kSample.Data4[7], 0xA7);
    EXPECT_EQ(ToString(kSample), "{14DACFF5-4B08-494B-A580-25F2ED930DA7}");
    EXPECT_EQ(ParseGuid(ToString(kSample)), kSample);
    EXPECT_FALSE(kSample.IsNull());
    EXPECT_TRUE(GUID{}.IsNull());
}

TEST(Guid, RejectsEveryOtherForm) {
    for (const char* bad :
         {"", "14DACFF5-4B08-494b-A580-25F2ED930DA7", "{14DACFF5-4B08-494b-A580-25F2ED930DA7",
          "{14DACFF5-4B08-494b-A58025F2ED930DA7}", "{14DACFF5-4B08-494b-A580-25F2ED930DA7} ",
          " {14DACFF5-4B08-494b-A580-25F2ED930DA7}", "{14DACFF5_4B08-494b-A580-25F2ED930DA7}",
          "{14DACFG5-4B08-494b-A580-25F2ED930DA7}", "{14DACFF5-4B08-494b-A580-25F2ED930DA7X}",
          "{+4DACFF5-4B08-494b-A580-25F2ED930DA7}"}) {
        EXPECT_FALSE(ParseGuid(bad)) << bad;
    }
    EXPECT_THROW(MakeGuid("{not a guid}"), std::invalid_argument);
}

TEST(Guid, OrdersStrictly) {
    GUID a = kSample, b = kSample;
    b.Data4[7] = 0xA8;
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(b < a);
    EXPECT_FALSE(a < a);
    std::set<GUID> ids{a, b, a};
    EXPECT_EQ(ids.size(), 2u);
    EXPECT_NE(a, b);
}

TEST(Variant, KeepsTypeAndValueAndComparesByBoth) {
    Variant text("7");
    Variant copy = text;
    copy = Variant("8");
    EXPECT_EQ(text.TextValue(), "7");  // copies are independent
    EXPECT_EQ(Variant().Type(), VT_EMPTY);
    EXPECT_EQ(Variant::Null().Type(), VT_NULL);
    EXPECT_EQ(Variant(true).Type(), VT_BOOL);
    EXPECT_EQ(Variant(std::int32_t{-5}).IntValue(), -5);
    EXPECT_EQ(text.Type(), VT_BSTR);
    EXPECT_NE(Variant(std::int32_t{7}), text);
    EXPECT_NE(Variant(true), Variant(std::int32_t{1}));
    EXPECT_NE(Variant(), Variant::Null());
    EXPECT_NE(Variant(""), Variant());
    EXPECT_EQ(Variant("7"), text);
    EXPECT_EQ(Variant::Null(), Variant::Null());
    // Reading with the wrong type gives the neutral value, never garbage.
    EXPECT_EQ(text.IntValue(), 0);
    EXPECT_EQ(Variant(std::int32_t{3}).TextValue(), "");
    EXPECT_TRUE(Variant(static_cast<const char*>(nullptr)).TextValue().empty());
}

TEST(Variant, ChangesTypeToText) {
    Variant e, b(true), f(false), i(std::int32_t{-42}), t("x"), n = Variant::Null();
    EXPECT_EQ(e.ChangeTypeToText(), S_OK);
    EXPECT_EQ(e, Variant(""));
    EXPECT_EQ(b.ChangeTypeToText(), S_OK);
    EXPECT_EQ(b, Variant("true"));
    f.ChangeTypeToText();
    EXPECT_EQ(f, Variant("false"));
    EXPECT_EQ(i.ChangeTypeToText(), S_OK);
    EXPECT_EQ(i, Variant("-42"));
    EXPECT_EQ(t.ChangeTypeToText(), S_OK);
    EXPECT_EQ(t, Variant("x"));
    EXPECT_EQ(n.ChangeTypeToText(), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(n.IsNull());
}

TEST(Bstr, DistinguishesNullFromEmptyButComparesThemEqual) {
    Bstr null;
    Bstr fromNullPointer(static_cast<const char*>(nullptr));
    Bstr empty("");
    EXPECT_TRUE(null.IsNull());
    EXPECT_TRUE(fromNullPointer.IsNull());
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(null, empty);
    EXPECT_EQ(null.str(), "");
    EXPECT_EQ(Bstr("Grüße").str(), "Grüße");
}

TEST(DispParams, KeepsTheLastElementAsTheFirstArgument) {
    DispParams p = DispParams::FromArgs({Variant("first"), Variant(std::int32_t{2})});
    ASSERT_EQ(p.Count(), 2u);
    EXPECT_EQ(p.rgvarg.back(), Variant("first"));
    EXPECT_EQ(p.Arg(0), Variant("first"));
    EXPECT_EQ(p.Arg(1), Variant(std::int32_t{2}));
    EXPECT_EQ(p.Args(), (std::vector<Variant>{Variant("first"), Variant(std::int32_t{2})}));
}

}  // namespace
