// SPDX-License-Identifier: MIT
#include "SoftwareUpdateViewModel.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using Choice = UpdateSession::Choice;

class SoftwareUpdateViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); }

    void showsTheUpdateAndReportsEachAnswer() {
        UpdateSession session(QStringLiteral("1.4.1"));
        AppcastItem update;
        update.version = update.displayVersion = QStringLiteral("1.4.2");
        session.setUpdate(update, QStringLiteral("<p>Faster <b>loss</b></p>"));
        SoftwareUpdateViewModel model(session);
        ViewHarness view("SoftwareUpdateView", &model);
        QSignalSpy chosen(&session, &UpdateSession::chosen);
        const auto last = [&chosen] { return chosen.takeLast().at(0).value<Choice>(); };

        QCOMPARE(view.text("title"), QStringLiteral("A new version of Veltrane is available!"));
        QVERIFY(view.shows("releaseNotes"));
        QVERIFY(!view.shows("dismissButton"));
        for (const auto& [button, choice] : {std::pair{"skipButton", Choice::skipThisVersion},
                                             std::pair{"remindButton", Choice::dismiss},
                                             std::pair{"installButton", Choice::installUpdate}}) {
            view.click(button);
            QCOMPARE(last(), choice);
        }
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QCOMPARE(last(), Choice::installUpdate);

        // Closing the window is "Remind Me Later".
        view.window().hide();
        QTRY_COMPARE(chosen.count(), 1);
        QCOMPARE(last(), Choice::dismiss);
    }

    void showsDownloadProgressWithACancelButton() {
        UpdateSession session(QStringLiteral("1.4.1"));
        session.setProgress(2'000'000, 8'000'000);
        SoftwareUpdateViewModel model(session);
        ViewHarness view("SoftwareUpdateView", &model);
        QSignalSpy chosen(&session, &UpdateSession::chosen);

        QCOMPARE(view.text("progressText"), QStringLiteral("2.0 MB of 8.0 MB"));
        QVERIFY(!view.shows("installButton"));
        // Return never cancels a download.
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QCOMPARE(chosen.count(), 0);
        view.click("dismissButton");
        QCOMPARE(chosen.count(), 1);
    }
};

VELTRANE_VIEW_TEST_MAIN(SoftwareUpdateViewTest)
#include "SoftwareUpdateViewTest.moc"
