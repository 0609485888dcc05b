// SPDX-License-Identifier: MIT
#pragma once

#include "InstallUpdate.h"

#include <QString>

// The system's package tools as root runs them to install an update: by
// absolute path, with an argument list, an environment of their own and a
// time limit, so nothing of the caller's environment reaches them. A tool
// that fails, or an answer that cannot be used, throws InstallRefusal.
class PackageTools final {
public:
    struct Fields {
        QString name;
        QString version;
    };

    // Names the tools, the package and the time limits.
    explicit PackageTools(const InstallUpdate::Setup& setup);

    // The package's name and version, as its control file gives them.
    Fields fieldsOf(const QString& package) const;
    // The version of the setup's package that the system has installed.
    QString installedVersion() const;
    bool isNewer(const QString& version, const QString& installed) const;
    void install(const QString& package) const;

private:
    const InstallUpdate::Setup& m_setup;
};
