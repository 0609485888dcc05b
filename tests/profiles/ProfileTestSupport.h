// SPDX-License-Identifier: MIT
#pragma once

#include "Presets.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <gtest/gtest.h>

#include <vector>

// A custom profile under a new identifier, with conditions of no interest.
inline ThrottleProfile custom(const QString& name, std::optional<double> loss = 5) {
    return ThrottleProfile(QUuid::createUuid(), name, Bandwidth{1, BandwidthUnit::mbps},
                           std::nullopt, 20, loss, std::nullopt, false, true);
}

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
