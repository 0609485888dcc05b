// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Why an update was not installed. A package that does not match its
// signature is told apart: the user sees the same words as when the
// application's own check refuses it.
struct InstallFailure {
    // What the user reads of a package that does not match its signature,
    // whichever check refused it.
    static inline const QString improperlySignedMessage =
        QStringLiteral("The update is improperly signed and could not be validated.");

    bool improperlySigned = false;
    QString message;
};

// How a verified update gets onto this system.
class UpdateInstaller {
public:
    virtual ~UpdateInstaller() = default;

    // Whether the running application came from a package that the system's
    // package tool can replace; else the user updates from the download page.
    virtual bool installsPackages() const = 0;
    // Installs a package whose signature the application has checked. What
    // installs it checks the signature (the feed's, base64) again, on a copy
    // of its own: the file stays the user's to change. `done` gets the
    // failure, or none once it is installed.
    virtual void install(const QString& packagePath, const QByteArray& signature,
                         std::function<void(std::optional<InstallFailure>)> done) = 0;
    // Starts the installed version and quits this one.
    virtual void relaunch() = 0;
    virtual void openDownloadPage(const QUrl& page) = 0;
};
