// SPDX-License-Identifier: MIT
#include "OnboardingViewModel.h"
#include "SettingsKeys.h"
#include "ViewHarness.h"
#include "WindowTestSupport.h"

#include <QGuiApplication>
#include <QTest>

using namespace std::chrono_literals;

class OnboardingViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void clicksThroughEveryStepAndPollsOnlyWhileShown() {
        WindowServices services;
        services.registration.status = ServiceStatus::requiresApproval;
        services.helper.installFailure = ThrottleError::helperError(QStringLiteral("approval"));
        const auto model = services.onboarding();
        ViewHarness view(QStringLiteral("OnboardingView"),
                         {{"viewModel", QVariant::fromValue(model.get())}});
        QCOMPARE(view.root()->width(), 450.0);

        view.click(QStringLiteral("getStartedButton"));
        QTRY_VERIFY(view.find(QStringLiteral("installButton"))->isVisible());
        view.click(QStringLiteral("installButton"));
        QCOMPARE(model->currentStep(), int(OnboardingViewModel::Approval));
        QTRY_VERIFY(view.find(QStringLiteral("openSystemSettingsButton"))->isVisible());
        QVERIFY(!view.find(QStringLiteral("installError"))->isVisible());
        QVERIFY(model->isPolling());

        // A closed window polls no more, even once the user approves.
        view.window().hide();
        QTRY_VERIFY(!model->isPolling());
        services.registration.status = ServiceStatus::enabled;
        QTest::qWait(50);
        QCOMPARE(model->currentStep(), int(OnboardingViewModel::Approval));
        view.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&view.window()));
        QTRY_VERIFY(view.find(QStringLiteral("startUsingButton"))->isVisible());

        view.click(QStringLiteral("startUsingButton"));
        QVERIFY(services.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));
        QCOMPARE(services.navigator.closed, QStringList{WindowNavigator::onboarding});
    }
};

VELTRANE_VIEW_TEST_MAIN(OnboardingViewTest)
#include "OnboardingViewTest.moc"
