// SPDX-License-Identifier: MIT
#include "ViewHarness.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMetaMethod>
#include <QPalette>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QRegularExpression>
#include <QSGRendererInterface>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <algorithm>
#include <stdexcept>

Q_IMPORT_QML_PLUGIN(Veltrane_UiPlugin)

namespace {

void collectVisible(QQuickItem* item, const QString& objectName, QList<QQuickItem*>& found) {
    if (!item || !item->isVisible()) {
        return;
    }
    if (item->objectName() == objectName) {
        found << item;
    }
    for (QQuickItem* child : item->childItems()) {
        collectVisible(child, objectName, found);
    }
}

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

// Scrolls every flickable around the item until the item is in view, as a
// user would before clicking it.
void scrollIntoView(QQuickItem* item) {
    for (QQuickItem* area = item->parentItem(); area; area = area->parentItem()) {
        if (!area->inherits("QQuickFlickable")) {
            continue;
        }
        auto* content = area->property("contentItem").value<QQuickItem*>();
        const QRectF bounds =
            item->mapRectToItem(content, QRectF(0, 0, item->width(), item->height()));
        qreal top = area->property("contentY").toReal();
        if (bounds.top() < top) {
            top = bounds.top();
        } else if (bounds.bottom() > top + area->height()) {
            top = bounds.bottom() - area->height();
        }
        area->setProperty("contentY", top);
    }
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
    // From the window's content item: popups live beside the view, in the overlay.
    return findIn(m_view->contentItem(), objectName);
}

bool ViewHarness::shows(const QString& objectName) const {
    const QQuickItem* item = find(objectName);
    return item && item->isVisible();
}

QString ViewHarness::text(const QString& objectName) const {
    const QQuickItem* item = find(objectName);
    if (!item) {
        throw std::runtime_error("no item named " + objectName.toStdString());
    }
    return item->property("text").toString();
}

QList<QQuickItem*> ViewHarness::visibleItems(const QString& objectName, QQuickItem* under) const {
    QList<QQuickItem*> found;
    collectVisible(under ? under : m_view->contentItem(), objectName, found);
    return found;
}

void ViewHarness::click(const QString& objectName) {
    QQuickItem* item = find(objectName);
    if (!item) {
        throw std::runtime_error("no item named " + objectName.toStdString());
    }
    click(item);
}

void ViewHarness::click(QQuickItem* item) {
    // A column places what just appeared in it only as the window is next
    // polished: until then an item may still sit where it was.
    QQuickTest::qWaitForPolish(m_view.get());
    scrollIntoView(item);
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

QImage ViewHarness::grab(int settleMs) {
    // The window follows the view's height once its text is laid out.
    QCoreApplication::processEvents();
    if (settleMs > 0) {
        QTest::qWait(settleMs);
    }
    return m_view->grabWindow();
}

QStringList ViewHarness::testArguments(const QObject& test, int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    static const QRegularExpression shard(QStringLiteral("^--shard=(\\d+)/(\\d+)$"));
    const QRegularExpressionMatch match =
        arguments.size() > 1 ? shard.match(arguments[1]) : QRegularExpressionMatch();
    if (!match.hasMatch()) {
        return arguments;
    }
    const int first = match.captured(1).toInt();
    const int every = std::max(1, match.captured(2).toInt());
    const QStringList fixtures{"initTestCase", "cleanupTestCase", "init", "cleanup"};
    QStringList chosen{arguments[0]};
    const QMetaObject* type = test.metaObject();
    int index = 0;
    for (int i = type->methodOffset(); i < type->methodCount(); ++i) {
        const QMetaMethod method = type->method(i);
        const QString name = QString::fromLatin1(method.name());
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private ||
            method.parameterCount() != 0 || fixtures.contains(name)) {
            continue;
        }
        if (index++ % every == first) {
            chosen << name;
        }
    }
    return chosen + arguments.mid(2);
}
