// SPDX-License-Identifier: MIT
#include "PanelWindow.h"

#include "WindowRegistry.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>
#include <QtMath>

#include <algorithm>

namespace {

constexpr int kGap = 4;
// Between the panel and the far edge of the screen.
constexpr int kScreenMargin = 8;
// Longer than a click takes from the focus loss to the icon's activation.
constexpr qint64 kClickWindowMs = 300;

} // namespace

QPoint panelPosition(const QRect& anchor, const QSize& panel, const QRect& screen) {
    int x = anchor.center().x() - panel.width() / 2;
    int y = anchor.bottom() + 1 + kGap;
    if (y + panel.height() > screen.bottom() + 1) {
        y = anchor.top() - kGap - panel.height();
    }
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - panel.width()));
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - panel.height()));
    return {x, y};
}

int panelMaximumHeight(const QRect& anchor, const QRect& screen) {
    const int below = screen.bottom() + 1 - (anchor.bottom() + 1 + kGap);
    const int above = anchor.top() - kGap - screen.top();
    return std::max(below, above) - kScreenMargin;
}

PanelWindow::PanelWindow(QQmlEngine& engine, WindowScene content, std::function<void()> onShown,
                         QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_content(std::move(content))
    , m_onShown(std::move(onShown)) {}

PanelWindow::~PanelWindow() {
    // A window being destroyed reports itself inactive: not to us any more.
    if (m_view) {
        m_view->disconnect(this);
    }
}

bool PanelWindow::create() {
    m_view.reset(WindowRegistry::createView(m_engine, m_content));
    if (!m_view) {
        return false;
    }
    // A tool window: no taskbar entry, no frame, over everything else. Its
    // title is the application's, whatever the content.
    m_view->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_view->setTitle(QStringLiteral("Veltrane"));
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    // The content lays itself out later than it learns its room: a panel
    // above the icon keeps its bottom edge where it was placed.
    const auto fitHeight = [this] {
        const int height = qCeil(m_view->rootObject()->implicitHeight());
        m_view->setMinimumSize({width, height});
        m_view->setMaximumSize({width, height});
        m_view->resize(width, height);
        if (m_view->isVisible()) {
            place();
        }
    };
    fitHeight();
    connect(m_view->rootObject(), &QQuickItem::implicitHeightChanged, this, fitHeight);
    connect(m_view.get(), &QWindow::activeChanged, this, &PanelWindow::activeChanged);
    return true;
}

void PanelWindow::toggleAt(const QRect& anchor) {
    if (m_view && m_view->isVisible()) {
        hide();
    } else if (!m_closedByFocusLoss.isValid() || m_closedByFocusLoss.elapsed() > kClickWindowMs) {
        showAt(anchor);
    }
}

void PanelWindow::showAt(const QRect& anchor) {
    if (!m_view && !create()) {
        return;
    }
    m_anchor = anchor;
    if (QScreen* screen = anchorScreen()) {
        m_view->setScreen(screen);
        // The content shrinks its list to fit, and the window follows.
        m_view->rootObject()->setProperty("maximumHeight",
                                          panelMaximumHeight(anchor, screen->availableGeometry()));
    }
    place();
    // Each opening starts afresh: no ring left on the row last reached by
    // Tab, and Escape and the arrow keys reach the panel at once.
    m_view->rootObject()->forceActiveFocus(Qt::ActiveWindowFocusReason);
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
    if (m_onShown) {
        m_onShown();
    }
}

QScreen* PanelWindow::anchorScreen() const {
    QScreen* screen = QGuiApplication::screenAt(m_anchor.center());
    return screen ? screen : QGuiApplication::primaryScreen();
}

void PanelWindow::place() {
    if (QScreen* screen = anchorScreen()) {
        m_view->setPosition(panelPosition(m_anchor, m_view->size(), screen->availableGeometry()));
    }
}

void PanelWindow::hide() {
    if (m_view) {
        m_view->hide();
    }
}

void PanelWindow::activeChanged() {
    if (!m_view->isActive() && m_view->isVisible()) {
        m_closedByFocusLoss.start();
        m_view->hide();
    }
}
