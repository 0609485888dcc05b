// SPDX-License-Identifier: MIT
#include "SystemServiceRegistration.h"

#include "ControlFakes.h"
#include "HelperProtocol.h"
#include "PrivateBus.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SystemServiceRegistrationTest : public testing::Test {
protected:
    SystemServicePaths paths(const QString& busAddress = {}) const {
        SystemServicePaths paths;
        paths.bus = BusEndpoint(busAddress);
        paths.pkexec = folder.filePath("pkexec");
        paths.installer = "/opt/veltrane/install-helper";
        paths.installerArguments = {"/opt/veltrane/build"};
        paths.autostartEntry = folder.filePath("config/autostart/veltrane.desktop");
        paths.application = "/opt/Veltrane Dev/veltrane";
        paths.openUrl = [this](const QUrl& url) { opened << url; };
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
    mutable QList<QUrl> opened;
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
}

TEST_F(SystemServiceRegistrationTest, RegisteringRunsTheInstallerThroughPkexecAndReportsFailures) {
    SystemServiceRegistration registration(paths());
    fakePkexec(0);
    EXPECT_EQ(finish(registration.registerDaemon()), std::nullopt);
    EXPECT_EQ(pkexecArguments(), "/opt/veltrane/install-helper\n/opt/veltrane/build\n");

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

TEST_F(SystemServiceRegistrationTest, TheLoginItemIsAnAutostartEntryThatComesAndGoes) {
    SystemServiceRegistration registration(paths());
    EXPECT_EQ(registration.loginItemStatus(), ServiceStatus::notRegistered);
    EXPECT_EQ(registration.unregisterLoginItem(), std::nullopt);

    EXPECT_EQ(registration.registerLoginItem(), std::nullopt);
    EXPECT_EQ(registration.loginItemStatus(), ServiceStatus::enabled);
    QFile entry(folder.filePath("config/autostart/veltrane.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=\"/opt/Veltrane Dev/veltrane\"\n"));

    EXPECT_EQ(registration.unregisterLoginItem(), std::nullopt);
    EXPECT_EQ(registration.loginItemStatus(), ServiceStatus::notRegistered);

    registration.openSystemSettingsLoginItems();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(folder.filePath("config/autostart"))});
}

} // namespace
