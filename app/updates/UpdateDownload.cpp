// SPDX-License-Identifier: MIT
#include "UpdateDownload.h"

#include "UpdateInstaller.h"
#include "UpdateLog.h"
#include "UpdateNetwork.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

UpdateDownload::UpdateDownload(UpdateNetwork& network, QString cacheDirectory,
                               const QByteArray& publicKey)
    : m_network(network)
    , m_cacheDirectory(std::move(cacheDirectory))
    , m_verifier(publicKey) {}

std::optional<QString> UpdateDownload::prepare(const AppcastItem& update) {
    m_enclosure = *update.enclosure;
    m_file.setFileName(packagePath() + QStringLiteral(".part"));
    if (!QDir().mkpath(m_cacheDirectory) ||
        !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return QStringLiteral("The update could not be saved: %1.").arg(m_file.errorString());
    }
    return std::nullopt;
}

void UpdateDownload::start(Progress progress, Done done) {
    m_network.download(
        m_enclosure.url, m_file, m_enclosure.length,
        [progress = std::move(progress), length = m_enclosure.length](qint64 received) {
            progress(std::min(received, length), length);
        },
        [this, done = std::move(done)](std::optional<QString> error) {
            m_file.close();
            if (error) {
                m_file.remove();
                done(QStringLiteral("The update could not be downloaded: %1.").arg(*error));
                return;
            }
            done(verify());
        });
}

std::optional<QString> UpdateDownload::verify() {
    const bool completeLength = m_file.size() == m_enclosure.length;
    if (!completeLength || !m_verifier.verifyFile(m_file.fileName(), m_enclosure.edSignature)) {
        logUpdateLine(QStringLiteral("Refused the update package from %1: %2")
                          .arg(m_enclosure.url.toDisplayString(),
                               completeLength ? QStringLiteral("its signature does not match")
                                              : QStringLiteral("%1 bytes where the feed says %2")
                                                    .arg(m_file.size())
                                                    .arg(m_enclosure.length)));
        m_file.remove();
        return InstallFailure::improperlySignedMessage;
    }
    const QString package = packagePath();
    QFile::remove(package);
    if (!m_file.rename(package)) {
        m_file.remove();
        return QStringLiteral("The update could not be saved: %1.").arg(m_file.errorString());
    }
    return std::nullopt;
}

void UpdateDownload::discard() {
    m_file.close();
    m_file.remove();
}

QString UpdateDownload::packagePath() const {
    QString name = QFileInfo(m_enclosure.url.path()).fileName();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) {
        name = QStringLiteral("update.deb");
    }
    return QDir(m_cacheDirectory).filePath(name);
}
