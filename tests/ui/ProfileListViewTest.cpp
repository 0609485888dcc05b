// SPDX-License-Identifier: MIT
#include "ProfileListViewModel.h"
#include "ViewHarness.h"
#include "WindowTestSupport.h"

#include <QGuiApplication>
#include <QTest>

class ProfileListViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void withoutCustomProfilesTheCardSaysHowToAddOne() {
        WindowServices services;
        const auto model = services.profileList();
        ViewHarness view(QStringLiteral("ProfileListView"),
                         {{"viewModel", QVariant::fromValue(model.get())}});

        QCOMPARE(view.root()->size(), QSizeF(500, 550));
        QVERIFY(view.find(QStringLiteral("emptyCustomText"))->isVisible());
        view.click(QStringLiteral("addProfileButton"));
        QCOMPARE(services.navigator.opened, QStringList{WindowNavigator::profileEditor});
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(services.navigator.closed, QStringList{WindowNavigator::profileList});
    }

    void theSwitchAndTheRowMenuReachTheStore() {
        WindowServices services;
        const ThrottleProfile beta = services.addCustom(QStringLiteral("beta"));
        const auto model = services.profileList();
        ViewHarness view(QStringLiteral("ProfileListView"),
                         {{"viewModel", QVariant::fromValue(model.get())}});
        QVERIFY(!view.find(QStringLiteral("emptyCustomText"))->isVisible());

        view.click(QStringLiteral("visibility-beta"));
        QVERIFY(!services.profiles.profile(beta.id())->showInMenu);
        // The name dims with the switch.
        QTRY_VERIFY(
            qAbs(
                view.find(QStringLiteral("name-beta"))->property("color").value<QColor>().alphaF() -
                0.35) < 0.01);

        // Cancel keeps the profile; Delete removes it.
        for (const QString& answer :
             {QStringLiteral("alertReject"), QStringLiteral("alertAccept")}) {
            view.click(QStringLiteral("menu-beta"));
            QTRY_VERIFY(view.find(QStringLiteral("menuDelete")) &&
                        view.find(QStringLiteral("menuDelete"))->isVisible());
            view.click(QStringLiteral("menuDelete"));
            QTRY_VERIFY(view.find(answer) && view.find(answer)->isVisible());
            QCOMPARE(view.find(QStringLiteral("alertMessage"))->property("text").toString(),
                     model->deleteConfirmationMessage());
            view.click(answer);
            QTRY_VERIFY(!view.find(answer) || !view.find(answer)->isVisible());
        }
        QVERIFY(!services.profiles.profile(beta.id()));
        QTRY_VERIFY(view.find(QStringLiteral("emptyCustomText"))->isVisible());
    }
};

VELTRANE_VIEW_TEST_MAIN(ProfileListViewTest)
#include "ProfileListViewTest.moc"
