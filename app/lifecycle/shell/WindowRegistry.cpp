// SPDX-License-Identifier: MIT
#include "WindowRegistry.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>
#include <QtMath>

WindowRegistry::WindowRegistry(QQmlEngine& engine, QObject* parent)
    : QObject(parent)
    , m_engine(engine) {}

WindowRegistry::~WindowRegistry() {
    // A window being destroyed reports itself hidden: not to us any more.
    for (const QPointer<QQuickView>& view : std::exchange(m_open, {})) {
        if (view) {
            view->disconnect(this);
            delete view.data();
        }
    }
}

void WindowRegistry::add(const QString& identifier, WindowScene scene) {
    m_scenes.insert_or_assign(identifier, std::move(scene));
}

QQuickView* WindowRegistry::createView(QQmlEngine& engine, const WindowScene& scene) {
    auto* view = new QQuickView(&engine, nullptr);
    view->setTitle(scene.title);
    view->setResizeMode(QQuickView::SizeViewToRootObject);
    view->setInitialProperties(scene.properties ? scene.properties(view) : QVariantMap());
    view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Veltrane/Ui/%1.qml").arg(scene.viewName)));
    if (view->status() != QQuickView::Ready || !view->rootObject()) {
        for (const QQmlError& error : view->errors()) {
            qWarning("%s", qPrintable(error.toString()));
        }
        delete view;
        return nullptr;
    }
    // The content decides the size; the user does not.
    QQuickItem* root = view->rootObject();
    const auto fixSize = [view, root] {
        const QSize size(qCeil(root->implicitWidth()), qCeil(root->implicitHeight()));
        view->setMinimumSize(size);
        view->setMaximumSize(size);
        view->resize(size);
    };
    fixSize();
    QObject::connect(root, &QQuickItem::implicitWidthChanged, view, fixSize);
    QObject::connect(root, &QQuickItem::implicitHeightChanged, view, fixSize);
    return view;
}

void WindowRegistry::openWindow(const QString& identifier) {
    QQuickView* view = window(identifier);
    if (!view) {
        const auto scene = m_scenes.find(identifier);
        if (scene == m_scenes.end()) {
            qWarning("No window is known as \"%s\"", qPrintable(identifier));
            return;
        }
        view = createView(m_engine, scene->second);
        if (!view) {
            return;
        }
        m_open.insert(identifier, view);
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen) {
            view->setPosition(screen->availableGeometry().center() -
                              QPoint(view->width() / 2, view->height() / 2));
        }
        // Closed by the user or by its content: gone, with its content.
        connect(view, &QWindow::visibleChanged, this, [this, identifier](bool visible) {
            if (!visible) {
                closeWindow(identifier);
            }
        });
    }
    view->show();
    view->raise();
    view->requestActivate();
}

void WindowRegistry::closeWindow(const QString& identifier) {
    const QPointer<QQuickView> view = m_open.take(identifier);
    if (view) {
        view->disconnect(this);
        view->close();
        view->deleteLater();
    }
}

QQuickView* WindowRegistry::window(const QString& identifier) const {
    return m_open.value(identifier).data();
}
