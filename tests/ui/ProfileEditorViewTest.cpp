// SPDX-License-Identifier: MIT
#include "PanelWorld.h"
#include "ViewHarness.h"
#include "ViewItems.h"

#include <QGuiApplication>
#include <QTest>

class ProfileEditorViewTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void anEmptyNameIsShownInTheBoxAndUnderTheFieldUntilANameIsTyped() {
        QVERIFY(ViewHarness::fontsRender());
        PanelWorld world;
        QList<ThrottleProfile> saved;
        world.editorState.prepare(std::nullopt, ProfileEditorMode::create,
                                  [&saved](const ThrottleProfile& p) { saved << p; }, {});
        const auto editor = world.editor();
        ViewHarness view(QStringLiteral("ProfileEditorWindowView"),
                         {{"viewModel", QVariant::fromValue(editor.get())}});

        view.click(QStringLiteral("saveButton"));
        QVERIFY(view.find(QStringLiteral("errorBox"))->isVisible());
        const QList<QQuickItem*> lines =
            visibleItemsNamed(view.root(), QStringLiteral("errorLine"));
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first()->property("text").toString(),
                 QStringLiteral("• Profile name cannot be empty"));
        QQuickItem* message = view.find(QStringLiteral("nameMessage"));
        QVERIFY(message->isVisible());
        QCOMPARE(message->property("text").toString(),
                 QStringLiteral("Profile name cannot be empty"));

        view.click(QStringLiteral("nameField"));
        for (const char key : {'H', 'o', 't', 'e', 'l'}) {
            QTest::keyClick(&view.window(), key);
        }
        QVERIFY(!view.find(QStringLiteral("errorBox"))->isVisible());
        QVERIFY(!message->isVisible());

        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.first().name, QStringLiteral("Hotel"));
        QCOMPARE(world.navigator.closed, QStringList{QStringLiteral("profile-editor")});
    }

    void escapeClosesWithoutSaving() {
        PanelWorld world;
        world.editorState.prepare(preset(QStringLiteral("LTE")), ProfileEditorMode::edit, {}, {});
        const auto editor = world.editor();
        ViewHarness view(QStringLiteral("ProfileEditorWindowView"),
                         {{"viewModel", QVariant::fromValue(editor.get())}});
        QVERIFY(!view.find(QStringLiteral("saveButton"))->isVisible());
        QVERIFY(!view.find(QStringLiteral("nameField"))->isEnabled());

        QTest::keyClick(&view.window(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(&view.window(), Qt::Key_Escape);
        QCOMPARE(world.navigator.closed, QStringList{QStringLiteral("profile-editor")});
        QVERIFY(world.profiles.customProfiles().isEmpty());
    }
};

VELTRANE_VIEW_TEST_MAIN(ProfileEditorViewTest)
#include "ProfileEditorViewTest.moc"
