// SPDX-License-Identifier: MIT
#include "WindowRegistry.h"

#include "AboutViewModel.h"
#include "PanelWindow.h"

#include <QGuiApplication>
#include <QQmlExtensionPlugin>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>
#include <QtMath>

Q_IMPORT_QML_PLUGIN(Veltrane_UiPlugin)

class WindowRegistryTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The offscreen platform cannot raise windows, and says so.
    void init() {
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("^(?!This plugin does not support raise).*")));
    }

    void oneWindowPerIdentifierSizedByItsContentAndReleasedOnClose() {
        QQmlEngine engine;
        WindowRegistry windows(engine);
        windows.add(
            QStringLiteral("profile-editor"),
            {QStringLiteral("Profile Editor"), QStringLiteral("AboutView"), [](QObject* window) {
                 return QVariantMap{{QStringLiteral("viewModel"),
                                     QVariant::fromValue(new AboutViewModel(
                                         QString(), QString(), QDate(2026, 1, 1), window))}};
             }});
        windows.openWindow(QStringLiteral("profile-editor"));
        QPointer<QQuickView> first = windows.window(QStringLiteral("profile-editor"));
        QVERIFY(first);
        QVERIFY(QTest::qWaitForWindowExposed(first.data()));
        QCOMPARE(first->title(), QStringLiteral("Profile Editor"));
        QCOMPARE(first->size(), QSize(320, qCeil(first->rootObject()->implicitHeight())));
        QCOMPARE(first->minimumSize(), first->maximumSize());

        windows.openWindow(QStringLiteral("profile-editor"));
        QCOMPARE(windows.window(QStringLiteral("profile-editor")), first.data());

        first->close();
        QTRY_VERIFY(first.isNull());
        QCOMPARE(windows.window(QStringLiteral("profile-editor")), nullptr);
        windows.openWindow(QStringLiteral("profile-editor"));
        QVERIFY(windows.window(QStringLiteral("profile-editor")));
    }

    void thePanelGoesUnderTheIconOrAboveItAndStaysOnTheScreen() {
        const QRect screen(0, 0, 1280, 800);
        const QSize panel(PanelWindow::width, 300);
        // A top bar: centred under the icon.
        QCOMPARE(panelPosition(QRect(600, 0, 24, 24), panel, screen), QPoint(475, 28));
        // A bottom bar: above the icon.
        QCOMPARE(panelPosition(QRect(600, 776, 24, 24), panel, screen), QPoint(475, 472));
        // In a corner: pushed back onto the screen.
        QCOMPARE(panelPosition(QRect(1270, 0, 10, 24), panel, screen), QPoint(1008, 28));
        QCOMPARE(panelPosition(QRect(0, 790, 1, 1), panel, screen), QPoint(0, 486));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    WindowRegistryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowRegistryTest.moc"
