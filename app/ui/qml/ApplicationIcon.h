// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QString>
#include <QtQml/qqml.h>

// A desktop application's icon as its desktop entry names it: from the
// user's icon theme, or a file the entry gives by path. Without one, the
// first letter of its name on a tinted square, so that a row never shows a
// hole where the icon goes.
class ApplicationIcon : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString iconName READ iconName WRITE setIconName NOTIFY iconNameChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    // The placeholder's square and letter.
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)

public:
    explicit ApplicationIcon(QQuickItem* parent = nullptr);

    QString iconName() const { return m_iconName; }
    void setIconName(const QString& iconName);
    QString name() const { return m_name; }
    void setName(const QString& name);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

    void paint(QPainter* painter) override;

Q_SIGNALS:
    void iconNameChanged();
    void nameChanged();
    void colorChanged();

private:
    void paintPlaceholder(QPainter* painter);

    QString m_iconName;
    QString m_name;
    QColor m_color = Qt::gray;
};
