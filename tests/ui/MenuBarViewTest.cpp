// SPDX-License-Identifier: MIT
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QTest>

class MenuBarViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); }

    void theSwitchAsksBeforeTotalLossAndOnlyEnableAppliesIt() {
        QVERIFY(ViewHarness::fontsRender());
        UiWorld world;
        world.service.selectProfile(world.named("100% Loss"));
        const auto panel = world.panel();
        ViewHarness view("MenuBarView", panel.get());
        QQuickItem* confirmation = view.find("lossConfirmation");

        view.click("masterSwitch");
        QVERIFY(confirmation->isVisible());
        QCOMPARE(view.text("alertTitle"), QStringLiteral("Enable 100% Packet Loss?"));
        view.click(view.visibleItems("alertCancel", confirmation).first());
        QVERIFY(!confirmation->isVisible());
        QVERIFY(world.helper.enables.empty());
        QVERIFY(!view.find("masterSwitch")->property("isOn").toBool());

        view.click("masterSwitch");
        view.click(view.visibleItems("alertAction", confirmation).first());
        QCOMPARE(world.helper.enables.size(), 1u);
        QVERIFY(view.find("masterSwitch")->property("isOn").toBool());
        QTRY_VERIFY(view.shows("activeSection"));
    }

    void onlyCustomRowsHaveAPencilAndItOpensTheEditor() {
        UiWorld world;
        const ThrottleProfile custom = world.addCustom("Cafe");
        const auto panel = world.panel();
        ViewHarness view("MenuBarView", panel.get());

        const QList<QQuickItem*> pencils = view.visibleItems("editButton");
        QCOMPARE(pencils.size(), 1);
        view.click(pencils.first());
        QCOMPARE(world.navigator.opened, QStringList{WindowNavigator::profileEditor});
        QCOMPARE(world.editorState.mode(), ProfileEditorMode::edit);
        QCOMPARE(world.editorState.profile()->id(), custom.id());
    }

    void thePanelKeepsItsWidthWhateverTheNames() {
        UiWorld world;
        world.service.selectProfile(world.addCustom(QString(60, u'A')));
        const auto panel = world.panel();
        ViewHarness view("MenuBarView", panel.get());

        QCOMPARE(view.root()->width(), 272.0);
        QCOMPARE(view.window().width(), 272);
        for (QQuickItem* name : view.visibleItems("profileName")) {
            QVERIFY(name->mapToScene(QPointF(name->width(), 0)).x() <= 272);
        }
        QVERIFY(view.find("statusLine")->property("truncated").toBool());
    }
};

VELTRANE_VIEW_TEST_MAIN(MenuBarViewTest)
#include "MenuBarViewTest.moc"
