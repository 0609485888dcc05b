// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
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

    // On a terminal of its own, as `script` gives one: where veltranectl
    // prints text rather than JSON, and asks before it deletes.
    Outcome runOnTerminal(const QString& arguments) const {
        QProcess process;
        start(process, {"-qec", QStringLiteral(VELTRANECTL " ") + arguments, "/dev/null"},
              "/usr/bin/script");
        Outcome outcome = finished(process);
        outcome.out.remove(u'\r');
        return outcome;
    }

    // A profile's stored record, as show prints it off a terminal.
    QJsonObject show(const QString& profile) const {
        return run({"show", profile}).json().object();
    }

    // The ids of the throttles in force, oldest first, as status lists them.
    QList<quint64> throttleIds() const {
        QList<quint64> ids;
        const QJsonArray throttles =
            run({"status", "--json"}).json().object().value("throttles").toArray();
        for (const QJsonValue& throttle : throttles) {
            ids << quint64(throttle.toObject().value("id").toInteger());
        }
        return ids;
    }

    // Another client's throttle, which whatever a test ends must leave in
    // force: its id.
    quint64 throttleBeside() const {
        const Outcome applied = run({"apply", "--only-to", "10.0.0.1", "3G"});
        EXPECT_EQ(applied.status, 0) << applied.err.toStdString();
        return applied.out.section(QStringLiteral("(throttle "), 1)
            .section(u',', 0, 0)
            .toULongLong();
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};
