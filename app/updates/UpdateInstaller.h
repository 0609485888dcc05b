// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// How a verified update gets onto this system.
class UpdateInstaller {
public:
    virtual ~UpdateInstaller() = default;

    // Whether the running application came from a package that the system's
    // package tool can replace; else the user updates from the download page.
    virtual bool installsPackages() const = 0;
    // Installs a package whose signature was checked; `done` gets the error
    // text, or none once it is installed.
    virtual void install(const QString& packagePath,
                         std::function<void(std::optional<QString> error)> done) = 0;
    // Starts the installed version and quits this one.
    virtual void relaunch() = 0;
    virtual void openDownloadPage(const QUrl& page) = 0;
};
