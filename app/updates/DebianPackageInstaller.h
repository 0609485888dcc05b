// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateInstaller.h"

#include <QObject>
#include <QStringList>

#include <chrono>

// Installs updates on Debian-based systems: when the application's program
// belongs to an installed .deb, the root-owned installer replaces it with
// the new package, run through pkexec. The installer decides on its own copy
// of the package: the downloaded file stays the user's, and so does anything
// that happens to it while the password dialog waits.
class DebianPackageInstaller final : public QObject, public UpdateInstaller {
public:
    struct Paths {
        // The program as it was started, before an upgrade replaces it.
        QString program;
        // Where dpkg lists the files of each installed package.
        QString packageInfoDirectory = QStringLiteral("/var/lib/dpkg/info");
        QString pkexec = QStringLiteral("/usr/bin/pkexec");
        // The installed install-update; systemPaths() names it.
        QString installer;
    };

    explicit DebianPackageInstaller(Paths paths, QObject* parent = nullptr);
    // The running program, the installed installer, the system's tools.
    static Paths systemPaths();

    bool installsPackages() const override { return m_fromPackage; }
    void install(const QString& packagePath, const QByteArray& signature,
                 std::function<void(std::optional<InstallFailure>)> done) override;
    void relaunch() override;
    void openDownloadPage(const QUrl& page) override;

private:
    Paths m_paths;
    QStringList m_arguments;
    bool m_fromPackage;
};
