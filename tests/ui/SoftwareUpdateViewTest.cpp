// SPDX-License-Identifier: MIT
#include "SoftwareUpdateViewModel.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

class SoftwareUpdateViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void showsTheUpdateAndReportsEachAnswer() {
        UpdateSession session(QStringLiteral("1.4.1"));
        AppcastItem update;
        update.version = update.displayVersion = QStringLiteral("1.4.2");
        session.setUpdate(update, QStringLiteral("<p>Faster <b>loss</b></p>"));
        SoftwareUpdateViewModel model(session);
        ViewHarness view(QStringLiteral("SoftwareUpdateView"),
                         {{"viewModel", QVariant::fromValue(&model)}});
        QSignalSpy chosen(&session, &UpdateSession::chosen);

        QCOMPARE(view.find(QStringLiteral("title"))->property("text").toString(),
                 QStringLiteral("A new version of Veltrane is available!"));
        QVERIFY(view.find(QStringLiteral("releaseNotes"))->isVisible());
        QVERIFY(!view.find(QStringLiteral("dismissButton"))->isVisible());

        for (const auto& [button, choice] :
             {std::pair{"skipButton", UpdateSession::Choice::skipThisVersion},
              std::pair{"remindButton", UpdateSession::Choice::dismiss},
              std::pair{"installButton", UpdateSession::Choice::installUpdate}}) {
            view.click(QString::fromLatin1(button));
            QCOMPARE(chosen.takeLast().at(0).value<UpdateSession::Choice>(), choice);
        }
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QCOMPARE(chosen.takeLast().at(0).value<UpdateSession::Choice>(),
                 UpdateSession::Choice::installUpdate);

        // Closing the window is "Remind Me Later".
        view.window().hide();
        QTRY_COMPARE(chosen.count(), 1);
        QCOMPARE(chosen.takeLast().at(0).value<UpdateSession::Choice>(),
                 UpdateSession::Choice::dismiss);
    }

    void showsDownloadProgressWithACancelButton() {
        UpdateSession session(QStringLiteral("1.4.1"));
        session.setProgress(2'000'000, 8'000'000);
        SoftwareUpdateViewModel model(session);
        ViewHarness view(QStringLiteral("SoftwareUpdateView"),
                         {{"viewModel", QVariant::fromValue(&model)}});
        QSignalSpy chosen(&session, &UpdateSession::chosen);

        QCOMPARE(view.find(QStringLiteral("progressText"))->property("text").toString(),
                 QStringLiteral("2.0 MB of 8.0 MB"));
        QVERIFY(!view.find(QStringLiteral("installButton"))->isVisible());
        // Return never cancels a download.
        QTest::keyClick(&view.window(), Qt::Key_Return);
        QCOMPARE(chosen.count(), 0);
        view.click(QStringLiteral("dismissButton"));
        QCOMPARE(chosen.count(), 1);
    }
};

VELTRANE_VIEW_TEST_MAIN(SoftwareUpdateViewTest)
#include "SoftwareUpdateViewTest.moc"
