// SPDX-License-Identifier: MIT
#include "SystemServiceRegistration.h"

#include "ControlFakes.h"
#include "HelperProtocol.h"
#include "PrivateBus.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SystemServiceRegistrationTest : public testing::Test {
protected:
    SystemServicePaths paths(const QString& busAddress = {}) const {
        SystemServicePaths paths;
        paths.bus = BusEndpoint(busAddress);
        paths.pkexec = folder.filePath("pkexec");
        // Root's own, through a link: what runs is the real file.
        paths.installer = "/bin/true";
        paths.autostartEntry = folder.filePath("config/autostart/veltrane.desktop");
        paths.application = "/opt/Veltrane Dev/veltrane";
        return paths;
    }

    // A pkexec that records its arguments and exits as told.
    void fakePkexec(int exitStatus, const QString& error = {}) const {
        QFile script(folder.filePath("pkexec"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\nprintf '%2' >&2\n"
                                    "exit %3\n")
                         .arg(folder.filePath("pkexec-arguments"), error)
                         .arg(exitStatus)
                         .toUtf8());
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }

    QString pkexecArguments() const {
        QFile file(folder.filePath("pkexec-arguments"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir folder;
};

TEST_F(SystemServiceRegistrationTest, TheDaemonIsEnabledExactlyWhenTheBusCanStartIt) {
    PrivateBus withHelper(
        QList<PrivateBus::Service>{{HelperProtocol::kServiceName, {"/bin/false"}}});
    EXPECT_EQ(SystemServiceRegistration(paths(withHelper.address())).daemonStatus(),
              ServiceStatus::enabled);
    PrivateBus without(QList<PrivateBus::Service>{});
    EXPECT_EQ(SystemServiceRegistration(paths(without.address())).daemonStatus(),
              ServiceStatus::notRegistered);
    // A running helper that the bus cannot start counts as well.
    QDBusConnection owner = without.connect("owner");
    ASSERT_TRUE(owner.registerService(HelperProtocol::kServiceName));
    EXPECT_EQ(SystemServiceRegistration(paths(without.address())).daemonStatus(),
              ServiceStatus::enabled);
    // No bus at all is not a missing helper.
    EXPECT_EQ(
        SystemServiceRegistration(paths(QStringLiteral("unix:path=") + folder.filePath("no-bus")))
            .daemonStatus(),
        ServiceStatus::busUnreachable);
}

TEST_F(SystemServiceRegistrationTest, RegisteringRunsTheInstallerThroughPkexecAndReportsFailures) {
    SystemServiceRegistration registration(paths());
    fakePkexec(0);
    EXPECT_EQ(finish(registration.registerDaemon()), std::nullopt);
    EXPECT_EQ(pkexecArguments(), QFileInfo("/bin/true").canonicalFilePath() + "\n");

    fakePkexec(3, "cannot reload the bus\\n");
    EXPECT_EQ(
        finish(registration.registerDaemon()),
        (RegistrationError{SystemServiceRegistration::errorDomain, 3, "cannot reload the bus"}));
    fakePkexec(126);
    EXPECT_EQ(finish(registration.registerDaemon()),
              (RegistrationError{SystemServiceRegistration::errorDomain, 126,
                                 "Authorization was denied or dismissed"}));
    QFile::remove(folder.filePath("pkexec"));
    const std::optional<RegistrationError> missing = finish(registration.registerDaemon());
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->code, -1);
}

TEST_F(SystemServiceRegistrationTest, NeverRunsAnInstallerThatAnyoneButRootCouldChange) {
    fakePkexec(0);
    // A copy in a folder under the world-writable temporary folder: whoever
    // owns it, someone other than root could swap it before it runs.
    const QString copy = folder.filePath("install-helper");
    ASSERT_TRUE(QFile::copy("/bin/true", copy));
    SystemServicePaths writable = paths();
    writable.installer = copy;
    const std::optional<RegistrationError> refused =
        finish(SystemServiceRegistration(writable).registerDaemon());
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->description.startsWith("Refusing to run " + copy + " as root"))
        << refused->description.toStdString();

    // A build without an installed installer says how to install the helper.
    SystemServicePaths missing = paths();
    missing.installer = folder.filePath("no-such-installer");
    const std::optional<RegistrationError> absent =
        finish(SystemServiceRegistration(missing).registerDaemon());
    ASSERT_TRUE(absent);
    EXPECT_TRUE(absent->description.contains("scripts/install-helper build/dev"));
    EXPECT_EQ(pkexecArguments(), QString()) << "pkexec ran";
}

TEST_F(SystemServiceRegistrationTest, TheLoginItemIsAnAutostartEntryThatComesAndGoes) {
    SystemServiceRegistration registration(paths());
    EXPECT_EQ(registration.loginItemStatus(), ServiceStatus::notRegistered);
    EXPECT_EQ(registration.unregisterLoginItem(), std::nullopt);

    EXPECT_EQ(registration.registerLoginItem(), std::nullopt);
    EXPECT_EQ(registration.loginItemStatus(), ServiceStatus::enabled);
    // The application's desktop entry, starting this program.
    QFile entry(folder.filePath("config/autostart/veltrane.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.contains("\nExec=\"/opt/Veltrane Dev/veltrane\"\n"));
    EXPECT_EQ(text.count("\nExec="), 1);
    EXPECT_TRUE(text.contains("\nIcon=com.veltrane.Veltrane\n"));
    QProcess validate;
    validate.start("/usr/bin/desktop-file-validate", {entry.fileName()});
    ASSERT_TRUE(validate.waitForFinished());
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();

    EXPECT_EQ(registration.unregisterLoginItem(), std::nullopt);
    EXPECT_EQ(registration.loginItemStatus(), ServiceStatus::notRegistered);
}

} // namespace
