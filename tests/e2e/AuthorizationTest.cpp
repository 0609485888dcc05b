// SPDX-License-Identifier: MIT
// Who may change throttling, tried as an unprivileged user against the
// sandboxed daemon, a fake polkit and the bus policy that is installed.
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"

#include <QProcess>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr uint kNobody = 65534;

// dbus-send on the helper's bus run as `nobody`: what it printed, errors included.
QString dbusSendAsNobody(const HelperOnPrivateBus& helper, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(
        QStringLiteral("/usr/bin/setpriv"),
        QStringList{QStringLiteral("--reuid=%1").arg(kNobody),
                    QStringLiteral("--regid=%1").arg(kNobody), QStringLiteral("--clear-groups"),
                    QStringLiteral("/usr/bin/dbus-send"),
                    QStringLiteral("--bus=") + helper.bus().address(),
                    QStringLiteral("--print-reply"), QStringLiteral("--reply-timeout=10000")} +
            arguments);
    process.waitForFinished(20'000);
    return QString::fromUtf8(process.readAll()).simplified();
}

QString callAsNobody(const HelperOnPrivateBus& helper, const QString& method,
                     const QStringList& arguments = {}) {
    return dbusSendAsNobody(helper,
                            QStringList{QStringLiteral("--dest=") + HelperProtocol::kServiceName,
                                        QString::fromUtf8(HelperProtocol::kObjectPath), method} +
                                arguments);
}

// busctl, which writes the dictionaries dbus-send cannot, as `nobody`.
QString busctlAsNobody(const HelperOnPrivateBus& helper, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/usr/bin/setpriv"),
                  QStringList{QStringLiteral("--reuid=%1").arg(kNobody),
                              QStringLiteral("--regid=%1").arg(kNobody),
                              QStringLiteral("--clear-groups"), QStringLiteral("/usr/bin/busctl"),
                              QStringLiteral("--address=") + helper.bus().address(),
                              QStringLiteral("call"), HelperProtocol::kServiceName,
                              HelperProtocol::kObjectPath, HelperProtocol::kInterfaceName} +
                      arguments);
    process.waitForFinished(20'000);
    return QString::fromUtf8(process.readAll()).simplified();
}

QString enableAsNobody(const HelperOnPrivateBus& helper) {
    return callAsNobody(helper, QStringLiteral("com.veltrane.HelperProtocol.EnableThrottling"),
                        {"int64:1000", "int64:0", "int64:0", "double:0", "int64:0"});
}

QString enableOwnedAsNobody(const HelperOnPrivateBus& helper) {
    return callAsNobody(helper, QStringLiteral("com.veltrane.HelperProtocol.EnableThrottlingAs"),
                        {"int64:1000", "int64:0", "int64:0", "double:0", "int64:0", "string:nobody",
                         "boolean:false"});
}

class AuthorizationTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "calling as another user needs root";
        }
    }
};

TEST_F(AuthorizationTest, PolkitDecidesForOthersAndSwitchingOffIsOpenToEveryone) {
    HelperOnPrivateBus allowed({{}, QList<uint>{kNobody}, {}});
    EXPECT_THAT(enableAsNobody(allowed).toStdString(),
                testing::EndsWith("boolean true string \"\""));
    EXPECT_TRUE(allowed.bus().output().contains("fake-polkit: system-bus-name uid 65534 action "
                                                "com.veltrane.helper.throttle flags 0 -> yes"));
    // The owner is who the bus says called, whatever the caller says.
    EXPECT_THAT(enableOwnedAsNobody(allowed).toStdString(), testing::StartsWith("method return"));
    QDBusConnection root = allowed.bus().connect("root");
    EXPECT_EQ(HelperOnPrivateBus::state(root).value("owner").toMap().value("uid"), kNobody);

    // Refused by polkit, or without any polkit: the same answer, nothing run.
    HelperOnPrivateBus refused({{}, QList<uint>{}, {}});
    HelperOnPrivateBus withoutPolkit;
    for (const HelperOnPrivateBus* helper : {&refused, &withoutPolkit}) {
        EXPECT_THAT(enableAsNobody(*helper).toStdString(),
                    testing::EndsWith(
                        "boolean false string \"Not authorized to change network throttling\""));
        EXPECT_THAT(callAsNobody(*helper, "com.veltrane.HelperProtocol.ApplyThrottling",
                                 {"uint64:1000", "uint64:0", "uint32:0", "double:0"})
                        .toStdString(),
                    testing::EndsWith("string \"Not authorized to change network throttling\""));
        EXPECT_THAT(enableOwnedAsNobody(*helper).toStdString(),
                    testing::HasSubstr("Error com.veltrane.Error.NotAuthorized"));
        // Who asks is settled before what is asked: even a key the helper
        // does not know gets the refusal, not a word on the parameters.
        EXPECT_EQ(busctlAsNobody(*helper, {"EnableThrottlingWithParameters", "a{sv}sb", "1",
                                           "bogus", "x", "5", "nobody", "false"}),
                  "Call failed: Not authorized to change network throttling");
        EXPECT_TRUE(helper->bus().output().contains("Authorization denied for uid 65534"));
        EXPECT_THAT(helper->tools().toolRuns(), testing::IsEmpty());
        EXPECT_THAT(
            callAsNobody(*helper, "com.veltrane.HelperProtocol.DisableThrottling").toStdString(),
            testing::EndsWith("boolean true string \"\""));
    }
}

// A user allowed once (in an active session) and refused later (over SSH)
// still ends what it owns, and only that.
TEST_F(AuthorizationTest, AnotherUsersThrottlesAreEndedOnlyWithPolkitsConsent) {
    HelperOnPrivateBus helper({{"--backend", "stand-in"}, QList<uint>{kNobody}, {}});
    QDBusConnection root = helper.bus().connect("root");
    const QDBusMessage enabled = HelperOnPrivateBus::call(
        root, "EnableThrottlingWithParameters",
        {QVariantMap{{"scope", QVariantMap{{"destinations", QStringList{"10.0.0.0/8"}}}}},
         QString("root's run"), false});
    ASSERT_EQ(enabled.type(), QDBusMessage::ReplyMessage);
    const QString rootsId = enabled.arguments().value(0).toString();
    const auto enableAsNobodyOwned = [&](const char* destination) {
        return busctlAsNobody(helper,
                              {"EnableThrottlingWithParameters", "a{sv}sb", "1", "scope", "a{sv}",
                               "1", "destinations", "as", "1", destination, "nobody's", "false"});
    };
    const QString nobodysFirst = enableAsNobodyOwned("192.0.2.1").section(' ', 1);
    const QString nobodysSecond = enableAsNobodyOwned("192.0.2.2").section(' ', 1);
    const auto listed = [&] {
        QStringList ids;
        for (const QVariant& throttle :
             HelperOnPrivateBus::state(root).value("throttles").toList()) {
            ids << throttle.toMap().value("id").toString();
        }
        return ids;
    };
    ASSERT_EQ(listed(), (QStringList{rootsId, nobodysFirst, nobodysSecond}));

    helper.setPolkitAllows({});
    // Whether an id is on is no secret: the state lists them all.
    EXPECT_EQ(busctlAsNobody(helper, {"EndThrottle", "t", "99"}),
              "Call failed: No throttle with id 99 is on");
    EXPECT_EQ(busctlAsNobody(helper, {"EndThrottle", "t", rootsId}),
              "Call failed: Not authorized to end another user's throttle");
    // Another client of the same user ends one without asking.
    EXPECT_EQ(busctlAsNobody(helper, {"EndThrottle", "t", nobodysFirst}), QString());
    // Switched off by a user who may not end the others': its own go, the
    // others stay, and the answer names them.
    const QString staying =
        QStringLiteral("Not authorized to end another user's throttles: throttle %1 (root's run) "
                       "stays on")
            .arg(rootsId);
    EXPECT_THAT(callAsNobody(helper, "com.veltrane.HelperProtocol.DisableThrottling").toStdString(),
                testing::EndsWith("boolean false string \"" + staying.toStdString() + "\""));
    EXPECT_EQ(listed(), QStringList{rootsId});
    EXPECT_THAT(callAsNobody(helper, "com.veltrane.HelperProtocol.RemoveThrottling").toStdString(),
                testing::EndsWith("string \"" + staying.toStdString() + "\""));
    EXPECT_EQ(listed(), QStringList{rootsId});

    // With consent, everyone's go.
    helper.setPolkitAllows({kNobody});
    EXPECT_THAT(callAsNobody(helper, "com.veltrane.HelperProtocol.DisableThrottling").toStdString(),
                testing::EndsWith("boolean true string \"\""));
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(AuthorizationTest, TheInstalledBusPolicyLetsOnlyRootOwnTheNameAndAnyoneCallTheMethods) {
    // The system bus's own defaults, then the policy file we install.
    const QString policy = QStringLiteral(R"(<policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
  </policy>
  <include>%1</include>)")
                               .arg(QStringLiteral(VELTRANE_BUS_POLICY));
    HelperOnPrivateBus helper({{}, std::nullopt, policy});
    EXPECT_THAT(callAsNobody(helper, "com.veltrane.HelperProtocol.GetStatus").toStdString(),
                testing::EndsWith("boolean false string \"\""));
    EXPECT_THAT(callAsNobody(helper, "com.veltrane.HelperProtocol.FormatDisk").toStdString(),
                testing::HasSubstr("AccessDenied"));
    // The members beside the nine reach the daemon too, which then judges
    // the call itself.
    for (const char* member : {"GetState", "GetStatistics"}) {
        EXPECT_THAT(callAsNobody(helper, QStringLiteral("com.veltrane.HelperProtocol.") +
                                             QLatin1StringView(member))
                        .toStdString(),
                    testing::StartsWith("method return"))
            << member;
    }
    for (const char* member :
         {"EnableThrottlingAs", "EnableThrottlingWithParameters", "EndThrottle"}) {
        EXPECT_THAT(callAsNobody(helper, QStringLiteral("com.veltrane.HelperProtocol.") +
                                             QLatin1StringView(member))
                        .toStdString(),
                    testing::HasSubstr("org.freedesktop.DBus.Error.InvalidArgs"))
            << member;
    }
    EXPECT_THAT(callAsNobody(helper, "com.veltrane.HelperProtocol.ReleaseThrottling").toStdString(),
                testing::HasSubstr("com.veltrane.Error.NotHolder"));

    EXPECT_THAT(dbusSendAsNobody(helper, {"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                          "org.freedesktop.DBus.RequestName",
                                          "string:com.veltrane.helper", "uint32:0"})
                    .toStdString(),
                testing::HasSubstr("AccessDenied"));
}

} // namespace
