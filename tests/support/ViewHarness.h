// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QQuickItem>
#include <QQuickView>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

// One view of the Veltrane.Ui module in a window of its own, as the
// application shows it: offscreen unless a display is set, software-rendered,
// sized to the view's implicit size. For view tests and screenshots.
class ViewHarness final {
public:
    // Before the QGuiApplication exists: offscreen without a display, and the
    // application's renderer.
    static void prepareApplication();
    // Qt Test's arguments for `test`: with "--shard=K/N" first, only every
    // Nth of its test functions from the Kth on, so that a long program
    // runs as N tests side by side.
    static QStringList testArguments(const QObject& test, int argc, char** argv);
    // The desktop palette of the light or dark appearance.
    static void useAppearance(bool dark);
    // Text renders with a real font: a family resolves and "iiii" is narrower than "WWWW".
    static bool fontsRender();

    // Loads "<viewName>.qml" with its required properties set; throws
    // std::runtime_error with QML's messages when it does not load.
    ViewHarness(const QString& viewName, const QVariantMap& properties);
    // A view whose one required property is its view model.
    ViewHarness(const QString& viewName, QObject* viewModel)
        : ViewHarness(viewName, {{"viewModel", QVariant::fromValue(viewModel)}}) {}
    ~ViewHarness();

    QQuickView& window() { return *m_view; }
    QQuickItem* root() const { return m_view->rootObject(); }
    // Any item of the view by objectName, delegates of repeaters and open
    // popups included.
    QQuickItem* find(const QString& objectName) const;
    // Whether the named item exists and is on screen.
    bool shows(const QString& objectName) const;
    // The named item's text property.
    QString text(const QString& objectName) const;
    // Every item with this name that is on screen, under `under` or the whole
    // view, in tree order: a test often needs the second pencil, not the first.
    QList<QQuickItem*> visibleItems(const QString& objectName, QQuickItem* under = nullptr) const;
    // Clicks the middle of the named item, scrolled into view first; throws
    // when it is not there.
    void click(const QString& objectName);
    void click(QQuickItem* item);
    // The window's picture, after `settleMs` of animations.
    QImage grab(int settleMs = 0);

private:
    std::unique_ptr<QQuickView> m_view;
};

// A program that links Qt Widgets needs a QApplication: Qt Test's key
// events then take the application for one.
#ifdef QT_WIDGETS_LIB
#include <QApplication>
using ViewTestApplication = QApplication;
#else
#include <QGuiApplication>
using ViewTestApplication = QGuiApplication;
#endif

// main() of a Qt Test program over views.
#define VELTRANE_VIEW_TEST_MAIN(TestClass)                                                         \
    int main(int argc, char** argv) {                                                              \
        ViewHarness::prepareApplication();                                                         \
        ViewTestApplication app(argc, argv);                                                       \
        TestClass test;                                                                            \
        return QTest::qExec(&test, ViewHarness::testArguments(test, argc, argv));                  \
    }
