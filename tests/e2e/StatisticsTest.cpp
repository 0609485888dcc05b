// SPDX-License-Identifier: MIT
#include "HelperProtocol.h"
#include "TrafficControlDaemon.h"

#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QThread>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

namespace Keys = HelperProtocol::Statistics;

// tc's listing of eth7 shaped, with traffic waiting in both directions, its
// line feeds as the fake tools' "\n" escapes.
const std::string kShapedEth7Listing =
    "qdisc htb 5654: dev eth7 root refcnt 2 r2q 10 default 0\\n"
    " Sent 86236 bytes 90 pkt (dropped 171, overlimits 0 requeues 0) \\n"
    " backlog 52100b 50p requeues 0\\n"
    "qdisc netem 5656: dev eth7 parent 5655:1 limit 59 delay 50ms rate 330Kbit\\n"
    " Sent 82318 bytes 79 pkt (dropped 171, overlimits 0 requeues 0) \\n"
    " backlog 52100b 50p requeues 0\\n"
    "qdisc netem 5656: dev vtifb-eth7 parent 5655:1 limit 5 delay 50ms loss 1% rate 780Kbit\\n"
    " Sent 7364 bytes 8 pkt (dropped 292, overlimits 0 requeues 0) \\n"
    " backlog 1042b 1p requeues 0\\n"
    "qdisc netem 5658: dev vtifb-eth7 parent 5657:1 limit 5 rate 8Kbit\\n"
    " Sent 2000 bytes 2 pkt (dropped 0, overlimits 0 requeues 0) \\n"
    " backlog 1000b 1p requeues 0\\n";

QVariantMap statisticsOf(const QDBusMessage& reply) {
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), QStringLiteral("a{sv}"));
    return unpackedMap(reply.arguments().value(0));
}

using HelperStatisticsTest = TrafficControlDaemon;

TEST_F(HelperStatisticsTest, TheFiguresOfTheShapingInForceComeAtOnceEvenWhileAChangeHangs) {

    // Off: nothing to read, and nothing run to read it.
    EXPECT_EQ(statisticsOf(call("GetStatistics")), (QVariantMap{{Keys::kActive, false}}));
    EXPECT_THAT(helper.tools().toolRuns(), testing::IsEmpty());

    helper.tools().answer("tc", "-s qdisc show", 0, kShapedEth7Listing);
    // 780 Kbps down, 330 Kbps up.
    ASSERT_THAT(call("EnableThrottling",
                     {qlonglong(97'500), qlonglong(41'250), qlonglong(100), 1.0, qlonglong(0)})
                    .arguments(),
                testing::ElementsAre(true, QString()));
    const QVariantMap figures = statisticsOf(call("GetStatistics"));
    EXPECT_EQ(figures.value(Keys::kActive), true);
    EXPECT_GT(figures.value(Keys::kTakenAt).toULongLong(), 0u);
    EXPECT_EQ(unpackedMap(figures.value(Keys::kDownload)),
              (QVariantMap{{Keys::kBytes, 7364ull},
                           {Keys::kPackets, 8ull},
                           {Keys::kDropped, 292ull},
                           {Keys::kQueuedBytes, 1042ull},
                           {Keys::kQueuedPackets, 1ull},
                           // 1042 bytes at 97,500 a second.
                           {Keys::kQueueMs, 11ull}}));
    EXPECT_EQ(unpackedMap(figures.value(Keys::kUpload)).value(Keys::kQueueMs), 1263ull);

    // A throttle of one destination beside it, at 1,000 bytes a second in the
    // phase its schedule plays now (it has no rate of its own): its figures
    // are its own, its queue timed at that rate, and those at the top stay the
    // whole machine's.
    qDBusRegisterMetaType<QList<QVariantMap>>();
    const QList<QVariantMap> phases{
        {{"name", "Slow"},
         {"durationMs", qlonglong(3'600'000)},
         {"configuration", QVariantMap{{"downloadBytesPerSecond", qlonglong(1000)}}}}};
    QVariantMap scoped{
        {QStringLiteral("schedule"), QVariantMap{{"phases", QVariant::fromValue(phases)}}},
        {QStringLiteral("scope"),
         QVariantMap{{QStringLiteral("destinations"), QStringList{"192.0.2.7"}}}}};
    const QDBusMessage started =
        call("EnableThrottlingWithParameters", {scoped, QStringLiteral("scoped"), false});
    ASSERT_EQ(started.type(), QDBusMessage::ReplyMessage) << started.errorMessage().toStdString();
    const qulonglong scopedId = started.arguments().value(0).toULongLong();
    QThread::msleep(600);
    const QVariantMap both = statisticsOf(call("GetStatistics"));
    EXPECT_EQ(unpackedMap(both.value(Keys::kDownload)).value(Keys::kQueueMs), 11ull);
    QMap<qulonglong, QVariantMap> byId;
    for (const QVariant& each : both.value(Keys::kThrottles).toList()) {
        const QVariantMap throttle = each.toMap();
        byId.insert(throttle.value(Keys::kId).toULongLong(), throttle);
    }
    ASSERT_EQ(byId.size(), 2);
    ASSERT_TRUE(byId.contains(scopedId));
    EXPECT_EQ(byId.value(scopedId).value(Keys::kDownload).toMap(),
              (QVariantMap{{Keys::kBytes, 2000ull},
                           {Keys::kPackets, 2ull},
                           {Keys::kDropped, 0ull},
                           {Keys::kQueuedBytes, 1000ull},
                           {Keys::kQueuedPackets, 1ull},
                           {Keys::kQueueMs, 1000ull}}));
    EXPECT_FALSE(byId.value(scopedId).contains(Keys::kUpload));

    // A switch-off whose first tool hangs for seconds holds the engine, and
    // only the engine: the shaping is still there to be read meanwhile.
    helper.tools().answer("tc", "qdisc del dev eth7 handle ffff: ingress", 0, "", "", 4);
    const QDBusPendingCall change =
        client.asyncCall(HelperOnPrivateBus::methodCall(QStringLiteral("DisableThrottling")));
    // Past the age of the last reading, so that this one runs tc afresh.
    QThread::msleep(700);
    QElapsedTimer asked;
    asked.start();
    const QVariantMap during = statisticsOf(call("GetStatistics"));
    EXPECT_LT(asked.elapsed(), 1500);
    EXPECT_TRUE(during.contains(Keys::kDownload));
    EXPECT_GT(during.value(Keys::kTakenAt).toULongLong(), both.value(Keys::kTakenAt).toULongLong());
    EXPECT_FALSE(change.isFinished());

    QDBusPendingReply<bool, QString> changed(change);
    changed.waitForFinished();
    EXPECT_TRUE(changed.argumentAt<0>());
    // Readings are not logged: a panel that polls would bury the changes.
    EXPECT_FALSE(helper.bus().output().contains(QStringLiteral("-s qdisc show")));
}

TEST_F(HelperStatisticsTest, FiguresThatCannotBeReadAreANamedFailure) {
    helper.tools().answer("tc", "-s qdisc show", 1, "", "Cannot open netlink socket");
    call("EnableThrottling", {qlonglong(97'500), qlonglong(0), qlonglong(0), 0.0, qlonglong(0)});
    const QDBusMessage reply = call("GetStatistics");
    EXPECT_EQ(reply.errorName(), QString::fromLatin1(HelperProtocol::Error::kFailed));
    EXPECT_EQ(reply.errorMessage(), QStringLiteral("Command failed: Failed to read the shaping's "
                                                   "statistics: Cannot open netlink socket"));
}

} // namespace
