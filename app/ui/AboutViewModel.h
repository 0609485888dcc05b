// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QObject>
#include <QString>

// The about sheet: the application's version and copyright as the build set
// them, with the fallbacks a build without them shows.
class AboutViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString versionText READ versionText CONSTANT)
    Q_PROPERTY(QString copyrightText READ copyrightText CONSTANT)

public:
    // Empty texts mean the build did not set them.
    explicit AboutViewModel(const QString& version, const QString& copyright,
                            QDate today = QDate::currentDate(), QObject* parent = nullptr);
    // With the version and copyright of this build.
    static AboutViewModel* fromBuild(QObject* parent = nullptr);

    QString versionText() const { return m_versionText; }
    QString copyrightText() const { return m_copyrightText; }

    Q_INVOKABLE void dismiss() { Q_EMIT dismissRequested(); }

Q_SIGNALS:
    void dismissRequested();

private:
    QString m_versionText;
    QString m_copyrightText;
};
