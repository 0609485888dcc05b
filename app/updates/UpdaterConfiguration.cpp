// SPDX-License-Identifier: MIT
#include "UpdaterConfiguration.h"

#include "BuildInfo.h"
#include "UpdateBuildSettings.h"

#include <QStandardPaths>

UpdaterConfiguration UpdaterConfiguration::fromBuild() {
    UpdaterConfiguration configuration;
    const QString feed = qEnvironmentVariable("VELTRANE_UPDATE_FEED_URL",
                                              QString::fromUtf8(UpdateBuildSettings::feedUrl));
    configuration.feedUrl = QUrl(feed.trimmed(), QUrl::StrictMode);
    configuration.publicKey = QByteArray(UpdateBuildSettings::publicKey);
    configuration.runningVersion = QString::fromUtf8(BuildInfo::version);
    configuration.cacheDirectory =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/Veltrane/Updates");
    return configuration;
}
