// SPDX-License-Identifier: MIT
#include "SettingsKeys.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QTest>

class OnboardingViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); }

    void clicksThroughEveryStepAndPollsOnlyWhileShown() {
        UiWorld world;
        world.registration.status = ServiceStatus::requiresApproval;
        world.helper.installFailure = ThrottleError::helperError("approval");
        const auto model = world.onboarding();
        ViewHarness view("OnboardingView", model.get());
        QCOMPARE(view.root()->width(), 450.0);

        view.click("getStartedButton");
        QTRY_VERIFY(view.shows("installButton"));
        view.click("installButton");
        QCOMPARE(model->currentStep(), int(OnboardingViewModel::Approval));
        QTRY_VERIFY(view.shows("openSystemSettingsButton"));
        QVERIFY(!view.find("installError")->isVisible());
        QVERIFY(model->isPolling());

        // A closed window polls no more, even once the user approves.
        view.window().hide();
        QTRY_VERIFY(!model->isPolling());
        world.registration.status = ServiceStatus::enabled;
        QTest::qWait(50);
        QCOMPARE(model->currentStep(), int(OnboardingViewModel::Approval));
        view.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&view.window()));
        QTRY_VERIFY(view.shows("startUsingButton"));

        view.click("startUsingButton");
        QVERIFY(world.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::onboarding});
    }
};

VELTRANE_VIEW_TEST_MAIN(OnboardingViewTest)
#include "OnboardingViewTest.moc"
