// SPDX-License-Identifier: MIT
#include "ViewHarness.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QSGRendererInterface>
#include <QTest>

#include <stdexcept>

Q_IMPORT_QML_PLUGIN(Veltrane_UiPlugin)

namespace {

QQuickItem* findIn(QQuickItem* item, const QString& objectName) {
    if (!item) {
        return nullptr;
    }
    if (item->objectName() == objectName) {
        return item;
    }
    // childItems(), not findChild(): repeater delegates are visual children only.
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = findIn(child, objectName)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

void ViewHarness::prepareApplication() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void ViewHarness::useAppearance(bool dark) {
    QPalette palette;
    palette.setColor(QPalette::Window, dark ? QColor(0x1e, 0x1e, 0x1e) : QColor(0xec, 0xec, 0xec));
    palette.setColor(QPalette::WindowText,
                     dark ? QColor(0xf0, 0xf0, 0xf0) : QColor(0x10, 0x10, 0x10));
    QGuiApplication::setPalette(palette);
}

bool ViewHarness::fontsRender() {
    const QFont font = QGuiApplication::font();
    const QFontMetrics metrics(font);
    return !QFontInfo(font).family().isEmpty() &&
           metrics.horizontalAdvance(QStringLiteral("iiii")) <
               metrics.horizontalAdvance(QStringLiteral("WWWW"));
}

ViewHarness::ViewHarness(const QString& viewName, const QVariantMap& properties)
    : m_view(std::make_unique<QQuickView>()) {
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    m_view->setInitialProperties(properties);
    m_view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veltrane/Ui/%1.qml").arg(viewName)));
    if (m_view->status() != QQuickView::Ready) {
        QStringList messages;
        for (const QQmlError& error : m_view->errors()) {
            messages << error.toString();
        }
        throw std::runtime_error(messages.join(QLatin1Char('\n')).toStdString());
    }
    m_view->show();
    if (!QTest::qWaitForWindowExposed(m_view.get())) {
        throw std::runtime_error("the view's window was never exposed");
    }
}

ViewHarness::~ViewHarness() {
    m_view.reset();
    // The scene graph hands its textures to deleteLater(): let them go now,
    // or a test's last view shows up as a leak.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QQuickItem* ViewHarness::find(const QString& objectName) const {
    return findIn(root(), objectName);
}

void ViewHarness::click(const QString& objectName) {
    QQuickItem* item = find(objectName);
    if (!item) {
        throw std::runtime_error("no item named " + objectName.toStdString());
    }
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

QImage ViewHarness::grab() {
    return m_view->grabWindow();
}
