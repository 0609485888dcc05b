// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateInstaller.h"

#include <QObject>
#include <QStringList>

#include <chrono>

// Installs updates on Debian-based systems: when the application's program
// belongs to an installed .deb, the package tool replaces it with the new
// package, run as root through pkexec.
class DebianPackageInstaller final : public QObject, public UpdateInstaller {
public:
    struct Paths {
        // The program as it was started, before an upgrade replaces it.
        QString program;
        // Where dpkg lists the files of each installed package.
        QString packageInfoDirectory = QStringLiteral("/var/lib/dpkg/info");
        QString pkexec = QStringLiteral("/usr/bin/pkexec");
        QString packageTool = QStringLiteral("/usr/bin/apt-get");
    };

    explicit DebianPackageInstaller(Paths paths, QObject* parent = nullptr);
    // The running program, the system's tools.
    static Paths systemPaths();

    bool installsPackages() const override { return m_fromPackage; }
    void install(const QString& packagePath,
                 std::function<void(std::optional<QString> error)> done) override;
    void relaunch() override;
    void openDownloadPage(const QUrl& page) override;

private:
    Paths m_paths;
    QStringList m_arguments;
    bool m_fromPackage;
};
