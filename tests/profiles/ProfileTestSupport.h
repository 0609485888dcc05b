// SPDX-License-Identifier: MIT
#pragma once

#include "Presets.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <vector>

inline std::vector<QString> namesOf(const QList<ThrottleProfile>& profiles) {
    std::vector<QString> names;
    for (const ThrottleProfile& profile : profiles) {
        names.push_back(profile.name);
    }
    return names;
}

// The whole file, or nothing when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
