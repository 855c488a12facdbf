#include <gtest/gtest.h>

#include "com/dispatch_call.h"
#include "com/dispatch_map.h"
#include "com/object.h"

using namespace com;

namespace {

class Counter final : public Object<Counter, IDispatch> {
public:
    Counter() {
        map_.AddMethod("Add", 10, 2,
                       [this](const std::vector<Variant>& a, Variant* r) {
                           order_ = a[0].TextValue();
                           total_ += a[1].IntValue();
                           *r = Variant(total_);
                           return S_OK;
                       })
            .AddProperty("Total", 11,
                         [this](Variant* v) {
                             *v = Variant(total_);
                             return S_OK;
                         })
            .AddProperty(
                "Label", 12,
                [this](Variant* v) {
                    *v = Variant(label_);
                    return S_OK;
                },
                [this](const Variant& v) {
                    label_ = v.TextValue();
                    return S_OK;
                });
    }
    HRESULT GetIDsOfNames(const std::string& name, DISPID* id) override {
        return map_.GetIDsOfNames(name, id);
    }
    HRESULT Invoke(DISPID id, WORD flags, const DispParams& p, Variant* r) override {
        return map_.Invoke(id, flags, p, r);
    }
    std::string order_;

private:
    DispatchMap map_;
    std::int32_t total_ = 0;
    std::string label_;
};

TEST(DispatchMap, FindsMembersByNameWithoutRegardToCase) {
    auto c = MakeObject<Counter>();
    DISPID id = 0;
    EXPECT_EQ(c->GetIDsOfNames("add", &id), S_OK);
    EXPECT_EQ(id, 10);
    EXPECT_EQ(c->GetIDsOfNames("TOTAL", &id), S_OK);
    EXPECT_EQ(id, 11);
    EXPECT_EQ(c->GetIDsOfNames("Subtract", &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    EXPECT_EQ(c->GetIDsOfNames("Add", nullptr), E_POINTER);
}

TEST(DispatchMap, CallsMethodsWithArgumentsInDeclarationOrder) {
    auto c = MakeObject<Counter>();
    Variant r;
    ASSERT_EQ(CallMethod(c.get(), "Add", {Variant("a"), Variant(std::int32_t{5})}, &r), S_OK);
    EXPECT_EQ(c->order_, "a");
    EXPECT_EQ(r, Variant(std::int32_t{5}));
    ASSERT_EQ(CallMethod(c.get(), "Add", {Variant("b"), Variant(std::int32_t{2})}, nullptr), S_OK);
    ASSERT_EQ(GetProperty(c.get(), "Total", &r), S_OK);
    EXPECT_EQ(r, Variant(std::int32_t{7}));
}

TEST(DispatchMap, RefusesWrongCountsKindsAndIds) {
    auto c = MakeObject<Counter>();
    Variant r;
    EXPECT_EQ(CallMethod(c.get(), "Add", {Variant("only one")}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CallMethod(c.get(), "Nope", {}, &r), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(PutProperty(c.get(), "Total", Variant(std::int32_t{1})), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(c->Invoke(99, DISPATCH_METHOD, {}, &r), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(c->Invoke(12, DISPATCH_PROPERTYPUT, DispParams::FromArgs({}), &r),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(c->Invoke(11, DISPATCH_PROPERTYGET, DispParams::FromArgs({Variant(true)}), &r),
              DISP_E_BADPARAMCOUNT);
    // A failed call leaves the state alone.
    ASSERT_EQ(GetProperty(c.get(), "Total", &r), S_OK);
    EXPECT_EQ(r, Variant(std::int32_t{0}));
}

TEST(DispatchMap, PropertiesReadAndWriteAndAnswerMethodStyleReads) {
    auto c = MakeObject<Counter>();
    Variant r;
    ASSERT_EQ(PutProperty(c.get(), "label", Variant("Ω")), S_OK);
    ASSERT_EQ(GetProperty(c.get(), "Label", &r), S_OK);
    EXPECT_EQ(r, Variant("Ω"));
    // Script engines read properties with both flags set.
    r = Variant();
    EXPECT_EQ(c->Invoke(12, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &r), S_OK);
    EXPECT_EQ(r, Variant("Ω"));
    EXPECT_EQ(c->Invoke(12, DISPATCH_METHOD, {}, &r), DISP_E_MEMBERNOTFOUND);
}

TEST(DispatchCall, NullTargetIsAnError) {
    Variant r;
    EXPECT_EQ(CallMethod(nullptr, "x"), E_POINTER);
    EXPECT_EQ(GetProperty(nullptr, "x", &r), E_POINTER);
}

}  // namespace
