// SPDX-License-Identifier: MIT
// What a client adds for scoped throttles: host names resolved before the
// helper sees them, and the state's list of throttles read back.
#include "ControlFakes.h"
#include "DestinationResolver.h"
#include "HelperState.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

std::vector<Destination> typed(const std::vector<std::string>& texts) {
    std::vector<Destination> destinations;
    for (const std::string& text : texts) {
        std::string failure;
        destinations.push_back(*Destination::parse(text, failure));
    }
    return destinations;
}

std::vector<std::string> textsOf(const std::vector<Destination>& destinations) {
    std::vector<std::string> texts;
    for (const Destination& destination : destinations) {
        texts.push_back(destination.text());
    }
    return texts;
}

// Answers from a table; a name it does not know takes longer than any limit.
QCoro::Task<QStringList> fakeLookup(QString host, std::chrono::milliseconds limit) {
    if (host == "api.example.com") {
        co_return QStringList{"192.0.2.7", "2001:db8::7", "fe80::1%eth0", "192.0.2.7"};
    }
    if (host == "empty.example.com") {
        co_return QStringList{};
    }
    throw ThrottleError::helperError(
        QStringLiteral("Resolving %1 took longer than %2 ms").arg(host).arg(limit.count()));
}

TEST(DestinationResolverTest, HostNamesBecomeAllTheirAddressesWithTheirPortAndStayAsNames) {
    const DestinationResolver resolver(std::chrono::milliseconds(250), &fakeLookup);
    const ThrottleScope scope =
        finish(resolver.resolve(typed({"api.example.com:443", "10.1.0.0/16", ":5432"})));
    EXPECT_THAT(textsOf(scope.destinations),
                ElementsAre("192.0.2.7:443", "[2001:db8::7]:443", "10.1.0.0/16", ":5432"));
    EXPECT_THAT(scope.names, ElementsAre("api.example.com:443", "10.1.0.0/16", ":5432"));
    EXPECT_EQ(scope.check(), std::nullopt);
}

TEST(DestinationResolverTest, AHostThatResolvesToNothingOrTooLateFailsNamingIt) {
    const DestinationResolver resolver(std::chrono::milliseconds(250), &fakeLookup);
    EXPECT_EQ(failureOf(resolver.resolve(typed({"10.0.0.1", "empty.example.com"})))->payload(),
              "empty.example.com resolves to no address");
    EXPECT_EQ(failureOf(resolver.resolve(typed({"slow.example.com"})))->payload(),
              "Resolving slow.example.com took longer than 250 ms");
}

TEST(HelperStateTest, TheListOfThrottlesIsReadWithEachScopeOwnerAndSchedule) {
    const QVariantMap owner{
        {"busName", ":1.7"}, {"description", "veltranectl apply"}, {"held", true}};
    const QVariantMap wire{
        {"active", true},
        {"throttles",
         QVariantList{
             QVariantMap{{"id", qulonglong(3)},
                         {"scope", QVariantMap{{"destinations", QStringList{"192.0.2.7:443"}},
                                               {"names", QStringList{"api.example.com:443"}},
                                               {"addresses", QStringList{"192.0.2.7:443"}}}},
                         {"configuration", QVariantMap{{"latencyMs", qlonglong(40)}}},
                         {"owner", owner}},
             QVariantMap{{"id", qulonglong(5)},
                         {"scope", QVariantMap{}},
                         {"schedule", QVariantMap{{"phaseName", "Outage"},
                                                  {"phase", qlonglong(1)},
                                                  {"phaseCount", qlonglong(3)}}}}}}};
    const HelperState state = HelperState::fromWire(wire);
    ASSERT_EQ(state.throttles.size(), 2);
    const HelperThrottle& scoped = state.throttles.first();
    EXPECT_EQ(scoped.id, 3u);
    EXPECT_EQ(scoped.scope.kind(), ThrottleScope::Kind::destinations);
    EXPECT_THAT(scoped.scope.names, ElementsAre("api.example.com:443"));
    EXPECT_EQ(scoped.addresses, QStringList{"192.0.2.7:443"});
    EXPECT_EQ(scoped.configuration.latencyMs, 40);
    EXPECT_EQ(scoped.owner.displayName(), "veltranectl apply");
    EXPECT_TRUE(scoped.owner.held);
    EXPECT_TRUE(state.throttles.last().scope.isMachine());
    // Only a throttle that plays a schedule has its standing.
    EXPECT_FALSE(scoped.schedule);
    ASSERT_TRUE(state.throttles.last().schedule);
    EXPECT_EQ(state.throttles.last().schedule->phaseName, "Outage");
    EXPECT_EQ(state.throttles.last().schedule->phase, 1);
    // A helper that keeps one throttle sends no list.
    EXPECT_TRUE(HelperState::fromWire({{"active", true}}).throttles.isEmpty());
}

} // namespace
