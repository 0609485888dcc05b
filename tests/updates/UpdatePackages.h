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
// tools the root-side installer runs: the real dpkg-deb and dpkg, a package
// database in which veltrane 1.4.1 is installed, and an apt-get that keeps
// what it was given.
class UpdatePackages {
public:
    QTemporaryDir folder;
    TestSigningKey key;

    UpdatePackages() {
        QDir(folder.path()).mkpath(QStringLiteral("tools"));
        QFile::link(QStringLiteral("/usr/bin/dpkg-deb"), tool("dpkg-deb"));
        QFile::link(QStringLiteral("/usr/bin/dpkg"), tool("dpkg"));
        setInstalled("installed 1.4.1");
        script("dpkg-query", "#!/bin/sh\ncat \"$(dirname \"$0\")/database\"\n");
        script("apt-get",
               "#!/bin/sh\nd=$(dirname \"$0\")\nprintf '%s\\n' \"$@\" > \"$d/apt-get.arguments\"\n"
               "for last; do :; done\ncp \"$last\" \"$d/installed.deb\"\n"
               "[ ! -e \"$d/apt-get.fails\" ] || { echo 'E: broken' >&2; exit 100; }\n");
    }

    QString tool(const char* name) const {
        return folder.filePath(QStringLiteral("tools/") + name);
    }
    QString cacheFolder() const { return folder.filePath(QStringLiteral("root/updates")); }

    InstallUpdate::Setup setup() const {
        InstallUpdate::Setup setup;
        setup.publicKey = key.publicKey();
        setup.cacheFolder = cacheFolder();
        setup.dpkgDeb = tool("dpkg-deb");
        setup.dpkgQuery = tool("dpkg-query");
        setup.dpkg = tool("dpkg");
        setup.aptGet = tool("apt-get");
        return setup;
    }

    // What dpkg-query shows: status and version.
    void setInstalled(const QByteArray& shown) const { write(tool("database"), shown); }

    // A package of `fillerBytes` of `fill` that dpkg-deb does not compress.
    QString build(const QString& name, const QString& version, qsizetype fillerBytes = 1000,
                  char fill = 'a') const {
        const QString tree = folder.filePath(QStringLiteral("tree"));
        QDir(tree).removeRecursively();
        QDir(tree).mkpath(QStringLiteral("DEBIAN"));
        QDir(tree).mkpath(QStringLiteral("usr/share/veltrane"));
        write(tree + QStringLiteral("/DEBIAN/control"),
              "Package: " + name.toUtf8() + "\nVersion: " + version.toUtf8() +
                  "\nArchitecture: all\nMaintainer: Tests <tests@veltrane.example>\n"
                  "Description: test package\n");
        write(tree + QStringLiteral("/usr/share/veltrane/filler"), QByteArray(fillerBytes, fill));
        const QString package =
            folder.filePath(QStringLiteral("%1_%2_%3.deb").arg(name, version).arg(fill));
        QProcess dpkgDeb;
        dpkgDeb.start(QStringLiteral("/usr/bin/dpkg-deb"),
                      {QStringLiteral("--root-owner-group"), QStringLiteral("-Znone"),
                       QStringLiteral("--build"), tree, package});
        EXPECT_TRUE(dpkgDeb.waitForFinished(30000) && dpkgDeb.exitCode() == 0)
            << dpkgDeb.readAllStandardError().toStdString();
        return package;
    }

    QByteArray sign(const QString& path) const { return key.sign(read(path)); }
    // What apt-get was given to install; empty while it never ran.
    QByteArray installedBytes() const { return read(tool("installed.deb")); }
    QStringList cacheEntries() const {
        return QDir(cacheFolder())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }

    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void write(const QString& path, const QByteArray& contents) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

private:
    void script(const char* name, const QByteArray& text) const {
        write(tool(name), text);
        QFile(tool(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};
