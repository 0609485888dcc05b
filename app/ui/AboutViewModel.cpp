// SPDX-License-Identifier: MIT
#include "AboutViewModel.h"

#include "BuildInfo.h"

AboutViewModel::AboutViewModel(const QString& version, const QString& copyright, QDate today,
                               QObject* parent)
    : QObject(parent)
    , m_versionText(QStringLiteral("Version ") +
                    (version.isEmpty() ? QStringLiteral("1.0.0") : version))
    // A notice set by the build is shown exactly as packaged.
    , m_copyrightText(copyright.isEmpty()
                          ? QStringLiteral("© %1 Veltrane. All rights reserved.").arg(today.year())
                          : copyright) {}

AboutViewModel* AboutViewModel::fromBuild(QObject* parent) {
    return new AboutViewModel(QString::fromUtf8(BuildInfo::version),
                              QString::fromUtf8(BuildInfo::copyright), QDate::currentDate(),
                              parent);
}
