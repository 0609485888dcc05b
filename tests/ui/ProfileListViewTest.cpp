// SPDX-License-Identifier: MIT
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QTest>

class ProfileListViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); }

    void withoutCustomProfilesTheCardSaysHowToAddOne() {
        UiWorld world;
        const auto model = world.profileList();
        ViewHarness view("ProfileListView", model.get());

        QCOMPARE(view.root()->size(), QSizeF(500, 550));
        QVERIFY(view.shows("emptyCustomText"));
        view.click("addProfileButton");
        QCOMPARE(world.navigator.opened, QStringList{WindowNavigator::profileEditor});
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::profileList});
    }

    void theSwitchAndTheRowMenuReachTheStore() {
        UiWorld world;
        const ThrottleProfile beta = world.addCustom("beta");
        const auto model = world.profileList();
        ViewHarness view("ProfileListView", model.get());
        QVERIFY(!view.shows("emptyCustomText"));

        view.click("visibility-beta");
        QVERIFY(!world.profiles.profile(beta.id())->showInMenu);
        // The name dims with the switch.
        QTRY_VERIFY(
            qAbs(view.find("name-beta")->property("color").value<QColor>().alphaF() - 0.35) < 0.01);

        // Cancel keeps the profile; Delete removes it.
        for (const char* answer : {"alertReject", "alertAccept"}) {
            view.click("menu-beta");
            QTRY_VERIFY(view.shows("menuDelete"));
            view.click("menuDelete");
            QTRY_VERIFY(view.shows(answer));
            QCOMPARE(view.text("alertMessage"), model->deleteConfirmationMessage());
            view.click(answer);
            QTRY_VERIFY(!view.shows(answer));
        }
        QVERIFY(!world.profiles.profile(beta.id()));
        QTRY_VERIFY(view.shows("emptyCustomText"));
    }
};

VELTRANE_VIEW_TEST_MAIN(ProfileListViewTest)
#include "ProfileListViewTest.moc"
