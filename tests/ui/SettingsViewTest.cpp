// SPDX-License-Identifier: MIT
#include "SettingsKeys.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QTest>

class SettingsViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); }

    void autoDisableShowsItsDurationsAndStoresTheChoice() {
        UiWorld world;
        const auto model = world.settings();
        ViewHarness view("SettingsView", model.get());
        QCOMPARE(view.root()->size(), QSizeF(450, 520));

        QQuickItem* details = view.find("autoDisableDetails");
        QCOMPARE(details->height(), 0.0);
        view.click("autoDisableSwitch");
        QVERIFY(model->autoDisableEnabled());
        QCOMPARE(world.posted.size(), std::size_t(1));
        QTRY_VERIFY(details->height() > 40 && details->opacity() == 1.0);

        view.click("durationPicker");
        QTRY_VERIFY(view.shows("choice-1 hour"));
        view.click("choice-1 hour");
        QCOMPARE(world.defaults.value(SettingsKeys::autoDisableMinutes), QVariant(60));
        QCOMPARE(world.posted.size(), std::size_t(2));

        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::settings});
    }

    void theHelperCanBeInstalledAndTheAboutSheetOpened() {
        UiWorld world;
        world.registration.status = ServiceStatus::notRegistered;
        const auto model = world.settings();
        ViewHarness view("SettingsView", model.get());
        QTRY_COMPARE(view.text("helperBadgeText"), QStringLiteral("Not Installed"));

        view.click("installHelperButton");
        QCOMPARE(view.text("helperBadgeText"), QStringLiteral("Installed"));
        QTRY_VERIFY(view.shows("alertAccept"));
        QCOMPARE(view.text("alertMessage"), QStringLiteral("Helper installed successfully!"));
        view.click("alertAccept");
        QVERIFY(!model->showingHelperInstallAlert());
        QVERIFY(!view.shows("installHelperButton"));

        view.click("advancedButton");
        QTRY_VERIFY(view.shows("reinstallHelperButton"));
        world.registration.status = ServiceStatus::notRegistered;
        view.click("checkStatusButton");
        QCOMPARE(view.text("helperBadgeText"), QStringLiteral("Not Installed"));
        QVERIFY(!view.shows("reinstallHelperButton"));

        // The about sheet: in front of the window, closed by its button or Escape.
        view.click("aboutButton");
        QTRY_VERIFY(view.shows("aboutSheet"));
        QCOMPARE(view.find("aboutSheet")->width(), 320.0);
        QCOMPARE(view.text("version"), QStringLiteral("Version 1.0.0"));
        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY2(world.navigator.closed.isEmpty(), "the sheet is in front");
        view.click("closeButton");
        QVERIFY(!model->showingAbout());
        view.click("aboutButton");
        QTRY_VERIFY(view.shows("aboutSheet"));
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QVERIFY(!model->showingAbout());
        view.click("headerCloseButton");
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::settings});
    }
};

VELTRANE_VIEW_TEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
