// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonDocument>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

struct Outcome {
    int status = -1;
    QString out;
    QString err;

    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
    QStringList errors() const { return err.split(u'\n', Qt::SkipEmptyParts); }
    QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
};

// Runs veltranectl the way a user would, in a home of its own, without a
// terminal.
class VeltranectlRunner : public testing::Test {
protected:
    VeltranectlRunner() {
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
    }

    void start(QProcess& process, const QStringList& arguments,
               const QString& program = QStringLiteral(VELTRANECTL)) const {
        process.setProcessEnvironment(environment);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(program, arguments);
    }

    static Outcome finished(QProcess& process) {
        if (!process.waitForFinished(60'000)) {
            ADD_FAILURE() << "veltranectl did not finish";
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    Outcome run(const QStringList& arguments) const {
        QProcess process;
        start(process, arguments);
        return finished(process);
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};
