// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqml.h>

// The desktop's font, as the views size their text from it: the pixel size
// of the application font, and a family whose digits all have one width so
// that a ticking clock or a column of figures does not shift sideways.
class DesktopFont : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int pixelSize READ pixelSize NOTIFY changed)
    Q_PROPERTY(QString figuresFamily READ figuresFamily NOTIFY changed)

public:
    explicit DesktopFont(QObject* parent = nullptr);

    int pixelSize() const { return m_pixelSize; }
    QString figuresFamily() const { return m_figuresFamily; }

Q_SIGNALS:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();

    int m_pixelSize = 0;
    QString m_figuresFamily;
};
