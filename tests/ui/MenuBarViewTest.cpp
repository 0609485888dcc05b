// SPDX-License-Identifier: MIT
#include "PanelWorld.h"
#include "ViewHarness.h"
#include "ViewItems.h"

#include <QGuiApplication>
#include <QTest>

class MenuBarViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void theSwitchAsksBeforeTotalLossAndOnlyEnableAppliesIt() {
        QVERIFY(ViewHarness::fontsRender());
        PanelWorld world;
        world.service.selectProfile(world.named(QStringLiteral("100% Loss")));
        const auto panel = world.panel();
        ViewHarness view(QStringLiteral("MenuBarView"),
                         {{"viewModel", QVariant::fromValue(panel.get())}});
        QQuickItem* confirmation = view.find(QStringLiteral("lossConfirmation"));

        view.click(QStringLiteral("masterSwitch"));
        QVERIFY(confirmation->isVisible());
        QCOMPARE(view.find(QStringLiteral("alertTitle"))->property("text").toString(),
                 QStringLiteral("Enable 100% Packet Loss?"));
        clickItem(visibleItemsNamed(confirmation, QStringLiteral("alertCancel")).first());
        QVERIFY(!confirmation->isVisible());
        QVERIFY(world.helper.enables.empty());
        QVERIFY(!view.find(QStringLiteral("masterSwitch"))->property("isOn").toBool());

        view.click(QStringLiteral("masterSwitch"));
        clickItem(visibleItemsNamed(confirmation, QStringLiteral("alertAction")).first());
        QCOMPARE(world.helper.enables.size(), 1u);
        QVERIFY(view.find(QStringLiteral("masterSwitch"))->property("isOn").toBool());
        QTRY_VERIFY(view.find(QStringLiteral("activeSection"))->isVisible());
    }

    void onlyCustomRowsHaveAPencilAndItOpensTheEditor() {
        PanelWorld world;
        const ThrottleProfile custom = world.addCustom(QStringLiteral("Cafe"));
        const auto panel = world.panel();
        ViewHarness view(QStringLiteral("MenuBarView"),
                         {{"viewModel", QVariant::fromValue(panel.get())}});

        const QList<QQuickItem*> pencils =
            visibleItemsNamed(view.root(), QStringLiteral("editButton"));
        QCOMPARE(pencils.size(), 1);
        clickItem(pencils.first());
        QCOMPARE(world.navigator.opened, QStringList{QStringLiteral("profile-editor")});
        QCOMPARE(world.editorState.mode(), ProfileEditorMode::edit);
        QCOMPARE(world.editorState.profile()->id(), custom.id());
    }

    void thePanelKeepsItsWidthWhateverTheNames() {
        PanelWorld world;
        const QString longName = QStringLiteral("A").repeated(60);
        world.service.selectProfile(world.addCustom(longName));
        const auto panel = world.panel();
        ViewHarness view(QStringLiteral("MenuBarView"),
                         {{"viewModel", QVariant::fromValue(panel.get())}});

        QCOMPARE(view.root()->width(), 272.0);
        QCOMPARE(view.window().width(), 272);
        for (QQuickItem* name : visibleItemsNamed(view.root(), QStringLiteral("profileName"))) {
            QVERIFY(name->mapToScene(QPointF(name->width(), 0)).x() <= 272);
        }
        QVERIFY(view.find(QStringLiteral("statusLine"))->property("truncated").toBool());
    }
};

VELTRANE_VIEW_TEST_MAIN(MenuBarViewTest)
#include "MenuBarViewTest.moc"
