// SPDX-License-Identifier: MIT
#pragma once

#include "InstallUpdate.h"
#include "TestSigningKey.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Real Debian packages made by dpkg-deb and signed with a test key, and the
// tools the root-side installer runs (in tools/): the real dpkg-deb and dpkg,
// a package database in which veltrane 1.4.1 is installed, and an apt-get
// that keeps what it was given. The root-only folder is root/updates.
class UpdatePackages {
public:
    QTemporaryDir folder;
    TestSigningKey key;

    UpdatePackages() {
        QDir(folder.path()).mkpath(QStringLiteral("tools"));
        QFile::link(QStringLiteral("/usr/bin/dpkg-deb"), tool("dpkg-deb"));
        QFile::link(QStringLiteral("/usr/bin/dpkg"), tool("dpkg"));
        write(tool("database"), "installed 1.4.1");
        write(tool("dpkg-query"), "#!/bin/sh\ncat \"${0%/*}/database\"\n", true);
        write(tool("apt-get"),
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"${0%/*}/apt-get.arguments\"\n"
              "for last; do :; done\ncp \"$last\" \"${0%/*}/installed.deb\"\n"
              "[ ! -e \"${0%/*}/apt-get.fails\" ] || { echo 'E: broken' >&2; exit 100; }\n",
              true);
    }

    QString tool(const char* name) const {
        return folder.filePath(QStringLiteral("tools/") + name);
    }
    QString cacheFolder() const { return folder.filePath(QStringLiteral("root/updates")); }
    static InstallUpdate::Setup setup(const QByteArray& publicKey, const QString& folder) {
        InstallUpdate::Setup setup;
        setup.publicKey = publicKey;
        setup.cacheFolder = folder + QStringLiteral("/root/updates");
        setup.dpkgDeb = folder + QStringLiteral("/tools/dpkg-deb");
        setup.dpkgQuery = folder + QStringLiteral("/tools/dpkg-query");
        setup.dpkg = folder + QStringLiteral("/tools/dpkg");
        setup.aptGet = folder + QStringLiteral("/tools/apt-get");
        return setup;
    }
    InstallUpdate::Setup setup() const { return setup(key.publicKey(), folder.path()); }

    // A package whose content is `fillerBytes` of `fill`, uncompressed.
    QString build(const QString& name, const QString& version, qsizetype fillerBytes = 1000,
                  char fill = 'a') const {
        const QString tree = folder.filePath(QStringLiteral("tree"));
        QDir(tree).removeRecursively();
        QDir(tree).mkpath(QStringLiteral("DEBIAN"));
        write(tree + QStringLiteral("/DEBIAN/control"),
              "Package: " + name.toUtf8() + "\nVersion: " + version.toUtf8() +
                  "\nArchitecture: all\nMaintainer: Tests <t@veltrane.example>\nDescription: t\n");
        write(tree + QStringLiteral("/filler"), QByteArray(fillerBytes, fill));
        const QString package =
            folder.filePath(QStringLiteral("%1_%2%3.deb").arg(name, version).arg(fill));
        QProcess dpkgDeb;
        dpkgDeb.start(QStringLiteral("/usr/bin/dpkg-deb"),
                      {QStringLiteral("--root-owner-group"), QStringLiteral("-Znone"),
                       QStringLiteral("--build"), tree, package});
        EXPECT_TRUE(dpkgDeb.waitForFinished(30000) && dpkgDeb.exitCode() == 0);
        return package;
    }

    QByteArray sign(const QString& path) const { return key.sign(read(path)); }
    // What apt-get was given to install; empty while it never ran.
    QByteArray installedBytes() const { return read(tool("installed.deb")); }
    bool cacheIsEmpty() const {
        return QDir(cacheFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }

    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void write(const QString& path, const QByteArray& contents, bool executable = false) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
        if (executable) {
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
};
