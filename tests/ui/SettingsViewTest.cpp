// SPDX-License-Identifier: MIT
#include "SettingsKeys.h"
#include "SettingsViewModel.h"
#include "ViewHarness.h"
#include "WindowTestSupport.h"

#include <QGuiApplication>
#include <QTest>

class SettingsViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void autoDisableShowsItsDurationsAndStoresTheChoice() {
        WindowServices services;
        const auto model = services.settings();
        ViewHarness view(QStringLiteral("SettingsView"),
                         {{"viewModel", QVariant::fromValue(model.get())}});
        QCOMPARE(view.root()->size(), QSizeF(450, 520));

        QQuickItem* details = view.find(QStringLiteral("autoDisableDetails"));
        QCOMPARE(details->height(), 0.0);
        view.click(QStringLiteral("autoDisableSwitch"));
        QVERIFY(model->autoDisableEnabled());
        QCOMPARE(services.posted.size(), std::size_t(1));
        QTRY_VERIFY(details->height() > 40 && details->opacity() == 1.0);

        view.click(QStringLiteral("durationPicker"));
        QTRY_VERIFY(view.find(QStringLiteral("choice-1 hour")) &&
                    view.find(QStringLiteral("choice-1 hour"))->isVisible());
        view.click(QStringLiteral("choice-1 hour"));
        QCOMPARE(services.defaults.value(SettingsKeys::autoDisableMinutes), QVariant(60));
        QCOMPARE(services.posted.size(), std::size_t(2));

        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(services.navigator.closed, QStringList{WindowNavigator::settings});
    }

    void theHelperCanBeInstalledAndTheAboutSheetOpened() {
        WindowServices services;
        const auto model = services.settings();
        ViewHarness view(QStringLiteral("SettingsView"),
                         {{"viewModel", QVariant::fromValue(model.get())}});
        const auto badge = [&view] {
            return view.find(QStringLiteral("helperBadgeText"))->property("text").toString();
        };
        QTRY_COMPARE(badge(), QStringLiteral("Not Installed"));

        view.click(QStringLiteral("installHelperButton"));
        QCOMPARE(badge(), QStringLiteral("Installed"));
        QTRY_VERIFY(view.find(QStringLiteral("alertAccept")) &&
                    view.find(QStringLiteral("alertAccept"))->isVisible());
        QCOMPARE(view.find(QStringLiteral("alertMessage"))->property("text").toString(),
                 QStringLiteral("Helper installed successfully!"));
        view.click(QStringLiteral("alertAccept"));
        QVERIFY(!model->showingHelperInstallAlert());
        QVERIFY(!view.find(QStringLiteral("installHelperButton"))->isVisible());

        view.click(QStringLiteral("advancedButton"));
        QTRY_VERIFY(view.find(QStringLiteral("reinstallHelperButton"))->isVisible());
        services.registration.status = ServiceStatus::notRegistered;
        view.click(QStringLiteral("checkStatusButton"));
        QCOMPARE(badge(), QStringLiteral("Not Installed"));
        QVERIFY(!view.find(QStringLiteral("reinstallHelperButton"))->isVisible());

        view.click(QStringLiteral("aboutButton"));
        QTRY_VERIFY(view.find(QStringLiteral("aboutSheet")) &&
                    view.find(QStringLiteral("aboutSheet"))->isVisible());
        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY2(services.navigator.closed.isEmpty(), "the sheet is in front");
        view.click(QStringLiteral("closeButton"));
        QVERIFY(!model->showingAbout());
        view.click(QStringLiteral("headerCloseButton"));
        QCOMPARE(services.navigator.closed, QStringList{WindowNavigator::settings});
    }
};

VELTRANE_VIEW_TEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
