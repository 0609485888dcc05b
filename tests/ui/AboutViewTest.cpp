// SPDX-License-Identifier: MIT
#include "AboutViewModel.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

class AboutViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void showsTheVersionWithRealText() {
        QVERIFY(ViewHarness::fontsRender());
        AboutViewModel model(QStringLiteral("4.5.6"), QString());
        ViewHarness view(QStringLiteral("AboutView"), {{"viewModel", QVariant::fromValue(&model)}});

        QCOMPARE(view.root()->width(), 320.0);
        QCOMPARE(view.find(QStringLiteral("version"))->property("text").toString(),
                 QStringLiteral("Version 4.5.6"));
    }

    void closeAndEscapeBothDismiss() {
        AboutViewModel model{QString(), QString()};
        ViewHarness view(QStringLiteral("AboutView"), {{"viewModel", QVariant::fromValue(&model)}});
        QSignalSpy dismissed(&model, &AboutViewModel::dismissRequested);

        view.click(QStringLiteral("closeButton"));
        QCOMPARE(dismissed.count(), 1);
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(dismissed.count(), 2);
    }
};

VELTRANE_VIEW_TEST_MAIN(AboutViewTest)
#include "AboutViewTest.moc"
