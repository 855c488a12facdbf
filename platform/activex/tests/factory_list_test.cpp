#include "activex/factory_list.h"

#include <gtest/gtest.h>

#include <QMetaType>

#include "exposed_widgets.h"
#include "qt_app.h"

using namespace axtest;

namespace {

constexpr com::GUID kTypeLib = com::MakeGuid("{0BCE7C23-F434-4670-9920-EECF52B68060}");
constexpr com::GUID kAppId = com::MakeGuid("{9970AB00-EFAB-429F-A717-0BF205A0DC46}");

class FactoryListTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        list_.addClass<ExposedWidget>().addClass<HiddenWidget>();
    }
    ax::FactoryList list_{kTypeLib, kAppId};
};

TEST_F(FactoryListTest, ListsAndCreatesItsClassesByKey) {
    EXPECT_EQ(list_.featureList(), (QStringList{"ExposedWidget", "HiddenWidget"}));
    std::unique_ptr<QObject> object(list_.createObject("ExposedWidget"));
    ASSERT_TRUE(object);
    EXPECT_TRUE(qobject_cast<ExposedWidget*>(object.get()));
    EXPECT_EQ(object->parent(), nullptr);
    EXPECT_EQ(list_.metaObject("ExposedWidget"), &ExposedWidget::staticMetaObject);
    EXPECT_NE(QMetaType::type("ExposedWidget*"), QMetaType::UnknownType);
    EXPECT_EQ(list_.typeLibID(), kTypeLib);
    EXPECT_EQ(list_.appID(), kAppId);
}

TEST_F(FactoryListTest, ReadsClassInfos) {
    EXPECT_EQ(list_.classID("ExposedWidget"),
              com::MakeGuid("{7A1C93E2-5B40-4D8F-9E26-0F4B7C13A5D9}"));
    EXPECT_EQ(list_.interfaceID("ExposedWidget"),
              com::MakeGuid("{2E8B4F61-C937-4A05-8D1E-6B9F02C7E4A3}"));
    EXPECT_FALSE(list_.interfaceID("HiddenWidget"));
    EXPECT_EQ(list_.exposeToSuperClass("ExposedWidget"), "ExposedWidget");
    EXPECT_EQ(list_.exposeToSuperClass("HiddenWidget"), "QWidget");
    EXPECT_TRUE(list_.hasStockEvents("ExposedWidget"));
    EXPECT_FALSE(list_.hasStockEvents("HiddenWidget"));
    EXPECT_TRUE(list_.stayTopLevel("HiddenWidget"));
    EXPECT_FALSE(list_.stayTopLevel("ExposedWidget"));
}

TEST_F(FactoryListTest, RefusesUncreatableAndUnknownKeys) {
    EXPECT_EQ(list_.createObject("HiddenWidget"), nullptr);
    EXPECT_EQ(list_.createObject("Missing"), nullptr);
    EXPECT_EQ(list_.createObject("exposedwidget"), nullptr);  // keys are exact
    EXPECT_EQ(list_.metaObject("Missing"), nullptr);
    EXPECT_TRUE(list_.exposeToSuperClass("Missing").isEmpty());
    EXPECT_FALSE(list_.stayTopLevel("Missing"));
    EXPECT_FALSE(list_.hasStockEvents("Missing"));
    EXPECT_FALSE(list_.classID("Missing"));
    list_.registerClass("Missing", platform::Hive::CurrentUser);  // nothing to do, no crash
}

TEST(ClassFactory, AnswersOnlyItsOwnKey) {
    App();
    ax::Class<ExposedWidget> factory;
    EXPECT_EQ(factory.featureList(), QStringList{"ExposedWidget"});
    EXPECT_EQ(factory.createObject("HiddenWidget"), nullptr);
    std::unique_ptr<QObject> made(factory.createObject("ExposedWidget"));
    EXPECT_TRUE(made);
}

}  // namespace
