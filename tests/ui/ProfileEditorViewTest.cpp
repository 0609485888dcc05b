// SPDX-License-Identifier: MIT
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QGuiApplication>
#include <QTest>

class ProfileEditorViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); }

    void anEmptyNameIsShownInTheBoxAndUnderTheFieldUntilANameIsTyped() {
        QVERIFY(ViewHarness::fontsRender());
        UiWorld world;
        QList<ThrottleProfile> saved;
        world.editorState.prepare(std::nullopt, ProfileEditorMode::create,
                                  [&saved](const ThrottleProfile& p) { saved << p; }, {});
        const auto editor = world.editor();
        ViewHarness view("ProfileEditorWindowView", editor.get());

        view.click("saveButton");
        QVERIFY(view.shows("errorBox"));
        const QList<QQuickItem*> lines = view.visibleItems("errorLine");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first()->property("text").toString(),
                 QStringLiteral("• Profile name cannot be empty"));
        QVERIFY(view.shows("nameMessage"));
        QCOMPARE(view.text("nameMessage"), QStringLiteral("Profile name cannot be empty"));

        view.click("nameField");
        for (const char key : {'H', 'o', 't', 'e', 'l'}) {
            QTest::keyClick(&view.window(), key);
        }
        QVERIFY(!view.shows("errorBox"));
        QVERIFY(!view.shows("nameMessage"));

        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.first().name, QStringLiteral("Hotel"));
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::profileEditor});
    }

    void aBuiltInProfileIsReadOnlyAndEscapeClosesWithoutSaving() {
        UiWorld world;
        world.editorState.prepare(preset("LTE"), ProfileEditorMode::edit, {}, {});
        const auto editor = world.editor();
        ViewHarness view("ProfileEditorWindowView", editor.get());
        QVERIFY(!view.shows("saveButton"));
        QVERIFY(!view.find("nameField")->isEnabled());

        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(world.navigator.closed, QStringList{WindowNavigator::profileEditor});
        QVERIFY(world.profiles.customProfiles().isEmpty());
    }
};

VELTRANE_VIEW_TEST_MAIN(ProfileEditorViewTest)
#include "ProfileEditorViewTest.moc"
