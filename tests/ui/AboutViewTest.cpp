// SPDX-License-Identifier: MIT
#include "AboutViewModel.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

class AboutViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); }

    void showsTheVersionAndCloseAndEscapeBothDismiss() {
        QVERIFY(ViewHarness::fontsRender());
        AboutViewModel model(QStringLiteral("4.5.6"), QString());
        ViewHarness view("AboutView", &model);
        QSignalSpy dismissed(&model, &AboutViewModel::dismissRequested);
        QCOMPARE(view.root()->width(), 320.0);
        QCOMPARE(view.text("version"), QStringLiteral("Version 4.5.6"));

        view.click("closeButton");
        QCOMPARE(dismissed.count(), 1);
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(dismissed.count(), 2);
    }
};

VELTRANE_VIEW_TEST_MAIN(AboutViewTest)
#include "AboutViewTest.moc"
