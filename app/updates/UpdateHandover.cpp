// SPDX-License-Identifier: MIT
#include "UpdateHandover.h"

#include "UpdateLog.h"

#include <QFile>

#include <utility>

UpdateHandover::UpdateHandover(std::unique_ptr<UpdateInstaller> installer)
    : m_installer(std::move(installer)) {}

UpdateHandover::~UpdateHandover() = default;

std::optional<QString> UpdateHandover::openDownloadPage(const QUrl& page) {
    if (page.isEmpty()) {
        return QStringLiteral("The feed names no download page for this update.");
    }
    m_installer->openDownloadPage(page);
    return std::nullopt;
}

void UpdateHandover::install(const QString& package, const QByteArray& signature,
                             const QString& version, Done done) {
    m_installer->install(
        package, signature,
        [package, version, done = std::move(done)](std::optional<InstallFailure> failure) {
            QFile::remove(package);
            if (failure) {
                logUpdateLine(QStringLiteral("The update was not installed: ") + failure->message);
                done(failure->improperlySigned
                         ? InstallFailure::improperlySignedMessage
                         : QStringLiteral("The update could not be installed: %1.")
                               .arg(failure->message));
                return;
            }
            logUpdateLine(QStringLiteral("Installed the update to ") + version);
            done(std::nullopt);
        });
}
