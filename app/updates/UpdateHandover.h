// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateInstaller.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// Hands a verified package to the installer, or, where the system's package
// tool cannot replace the application, sends the user to the download page.
class UpdateHandover final {
public:
    // Why it was not installed, in a sentence for the user; none once it is.
    using Done = std::function<void(std::optional<QString> failure)>;

    explicit UpdateHandover(std::unique_ptr<UpdateInstaller> installer);
    ~UpdateHandover();

    bool installsPackages() const { return m_installer->installsPackages(); }
    // Why there is no page to open, in a sentence for the user.
    std::optional<QString> openDownloadPage(const QUrl& page);
    // The package is removed once the installer is done with it.
    void install(const QString& package, const QByteArray& signature, const QString& version,
                 Done done);
    // Starts the installed version and quits this one.
    void relaunch() { m_installer->relaunch(); }

private:
    std::unique_ptr<UpdateInstaller> m_installer;
};
