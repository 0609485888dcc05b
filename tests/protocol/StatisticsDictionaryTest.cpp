// SPDX-License-Identifier: MIT
#include "StatisticsDictionary.h"

#include "HelperProtocol.h"

#include <gtest/gtest.h>

namespace {

namespace Keys = HelperProtocol::Statistics;

TEST(StatisticsDictionaryTest, EachThrottlesFiguresTravelWithItsIdBesideThoseAtTheTop) {
    ShaperStatistics sent;
    sent.active = true;
    sent.takenAtMs = 123'456;
    const DirectionStatistics machine{7364, 8, 292, 1042, 1, 11};
    const DirectionStatistics scoped{.bytes = 500, .packets = 5};
    sent.download = machine;
    sent.throttles = {{4, machine, std::nullopt}, {9, scoped, scoped}};
    const ShaperStatistics read =
        StatisticsDictionary::fromWire(StatisticsDictionary::toWire(sent));
    EXPECT_EQ(read, sent);
    ASSERT_NE(read.throttle(9), nullptr);
    EXPECT_EQ(read.throttle(9)->upload, scoped);
    EXPECT_EQ(read.throttle(5), nullptr);
    // Unlimited, a queue has no time: the key is left out, not zero.
    EXPECT_FALSE(StatisticsDictionary::toWire(sent)
                     .value(Keys::kThrottles)
                     .value<QList<QVariantMap>>()
                     .at(1)
                     .value(Keys::kUpload)
                     .toMap()
                     .contains(Keys::kQueueMs));
}

TEST(StatisticsDictionaryTest, AClientReadsWhatItCanAndWrongValuesCountAsAbsent) {
    const QVariantMap download{{Keys::kBytes, 7364ull},      {Keys::kPackets, 8ull},
                               {Keys::kDropped, 292ull},     {Keys::kQueuedBytes, 1042ull},
                               {Keys::kQueuedPackets, 1ull}, {Keys::kQueueMs, 11ull}};
    const QVariantMap upload{{Keys::kBytes, QStringLiteral("lots")},
                             {Keys::kDropped, qlonglong(-4)},
                             {Keys::kPackets, 3u}};
    // As a bus reply reads after its containers are taken apart: a list.
    const QVariantList throttles{QVariantMap{{Keys::kId, 4ull}, {Keys::kDownload, download}},
                                 QVariantMap{{Keys::kDownload, download}},
                                 QStringLiteral("not a throttle")};
    const ShaperStatistics decoded =
        StatisticsDictionary::fromWire({{Keys::kActive, true},
                                        {Keys::kTakenAt, 123'456ull},
                                        {Keys::kDownload, download},
                                        {Keys::kUpload, upload},
                                        {Keys::kThrottles, throttles},
                                        {QStringLiteral("future"), 1}});
    EXPECT_TRUE(decoded.active);
    EXPECT_EQ(decoded.takenAtMs, 123'456u);
    EXPECT_EQ(decoded.download, (DirectionStatistics{7364, 8, 292, 1042, 1, 11}));
    EXPECT_EQ(decoded.upload, (DirectionStatistics{.packets = 3}));
    // A throttle's figures without its id belong to no one.
    ASSERT_EQ(decoded.throttles.size(), 1u);
    EXPECT_EQ(decoded.throttles[0].id, 4u);
    EXPECT_EQ(decoded.throttles[0].download, decoded.download);

    // Off: whatever else came along is not believed.
    EXPECT_EQ(StatisticsDictionary::fromWire({{Keys::kActive, false}, {Keys::kDownload, download}}),
              ShaperStatistics{});
}

} // namespace
