// SPDX-License-Identifier: MIT
#pragma once

#include "WindowScene.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQmlEngine>
#include <QQuickView>

#include <functional>
#include <memory>

// Where the panel goes: under the anchor (the tray icon's area), centred on
// it, above it when there is no room below, always inside the screen.
QPoint panelPosition(const QRect& anchor, const QSize& panel, const QRect& screen);
// The tallest the panel may be there: the larger of the room under and above
// the anchor, less a margin, so that it never runs off the screen.
int panelMaximumHeight(const QRect& anchor, const QRect& screen);

// The panel under the tray icon: a frameless window of a fixed width whose
// height follows its content, up to the room its screen offers (the content's
// `maximumHeight`). It closes when it loses the focus. It is
// created on first use and kept, hidden, between showings.
class PanelWindow final : public QObject {
    Q_OBJECT

public:
    static constexpr int width = 272;

    PanelWindow(QQmlEngine& engine, WindowScene content, std::function<void()> onShown,
                QObject* parent = nullptr);
    ~PanelWindow() override;

    // A click on the icon while the panel is open closes it.
    void toggleAt(const QRect& anchor);
    void showAt(const QRect& anchor);
    void hide();

    QQuickView* window() const { return m_view.get(); }

private:
    bool create();
    QScreen* anchorScreen() const;
    void place();
    void activeChanged();

    QQmlEngine& m_engine;
    WindowScene m_content;
    std::function<void()> m_onShown;
    std::unique_ptr<QQuickView> m_view;
    QRect m_anchor;
    // When the panel last closed by losing the focus: the click on the icon
    // that took the focus must not open it again.
    QElapsedTimer m_closedByFocusLoss;
};
