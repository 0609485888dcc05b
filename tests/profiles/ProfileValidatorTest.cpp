// SPDX-License-Identifier: MIT
#include "ProfileValidator.h"

#include "ProfileTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

const QString valid = QStringLiteral("<valid>");

QString messageOf(const ValidationResult& result) {
    return result.message.value_or(valid);
}

// What one switched-on condition's own check says of `text`.
QString checked(Condition condition, const QString& text,
                BandwidthUnit unit = BandwidthUnit::kbps) {
    return messageOf(ProfileValidator::validateCondition(condition, {text, true, unit}));
}

std::vector<QString> errorsOf(const ProfileValidationResult& result) {
    return {result.errors.begin(), result.errors.end()};
}

} // namespace

TEST(ProfileValidatorTest, namesAreTrimmedOfSpacesOnlyAndUniqueIgnoringCaseUnlessEditing) {
    EXPECT_EQ(messageOf(ProfileValidator::validateName("   ")), "Profile name cannot be empty");
    // U+3000 ideographic space and U+00A0 are space separators; a line break is not.
    EXPECT_EQ(messageOf(ProfileValidator::validateName(QStringLiteral("\t\u3000\u00a0"))),
              "Profile name cannot be empty");
    EXPECT_EQ(messageOf(ProfileValidator::validateName("\n")), valid);

    const QStringList names{"WiFi", "Straße", QStringLiteral("E\u0301cole")};
    const auto taken = [&](const QString& name, std::optional<QUuid> editing = std::nullopt) {
        return messageOf(ProfileValidator::validateNameUniqueness(name, names, editing));
    };
    EXPECT_EQ(taken(" wifi "), "A profile named 'wifi' already exists");
    EXPECT_EQ(taken("STRASSE"), valid);
    // Composed or not, "É" is one character of one name.
    EXPECT_NE(taken(QStringLiteral("\u00e9COLE")), valid);
    EXPECT_EQ(taken("wifi", QUuid::createUuid()), valid);
}

TEST(ProfileValidatorTest, namesHoldAtMostAHundredCharactersAllOfThemVisible) {
    const auto check = [](const QString& name) {
        return messageOf(ProfileValidator::validateName(name));
    };
    // Characters, not UTF-16 units: a hundred emoji take two hundred.
    EXPECT_EQ(check(QString(100, u'x')), valid);
    EXPECT_EQ(check(QStringLiteral("\U0001F600").repeated(100)), valid);
    EXPECT_EQ(check(QStringLiteral("  ") + QString(100, u'x') + QStringLiteral(" ")), valid);
    EXPECT_EQ(check(QString(101, u'x')), "Profile name cannot be longer than 100 characters");
    EXPECT_EQ(check(QStringLiteral("a\tb\nc")), valid);
    const std::pair<QString, const char*> hidden[] = {
        {QStringLiteral("3\u200bG"), "U+200B"},           // zero-width space
        {QStringLiteral("\u202eevil"), "U+202E"},         // right-to-left override
        {QStringLiteral("a\x1b[31m"), "U+001B"},          // terminal escape
        {QStringLiteral("a\rb"), "U+000D"},               // only tab and line feed pass
        {QStringLiteral("a\u0085"), "U+0085"},            // a C1 control
        {QStringLiteral("a\u0378"), "U+0378"},            // unassigned
        {QStringLiteral("x\U000E0041"), "U+E0041"},       // a tag character, beyond the BMP
        {QString(u'a') + QChar(0xd800) + u'b', "U+D800"}, // a lone surrogate
    };
    for (const auto& [name, codePoint] : hidden) {
        EXPECT_EQ(check(name),
                  QStringLiteral("Profile name cannot contain control, invisible formatting or "
                                 "unassigned characters (") +
                      codePoint + u')')
            << codePoint;
    }
}

TEST(ProfileValidatorTest, bandwidthsAndDelaysAreWholeNumbersWithinTheHelpersLimits) {
    const auto bandwidth = [](const char* text, BandwidthUnit unit = BandwidthUnit::kbps) {
        return checked(Condition::download, text, unit);
    };
    for (const char* text : {"1.5", "1,5", "0x10", "١٢", "9223372036854775808"}) {
        EXPECT_EQ(bandwidth(text), "Bandwidth must be a valid number") << text;
    }
    EXPECT_EQ(bandwidth("0"), "Bandwidth must be greater than 0");
    EXPECT_EQ(bandwidth("-3"), "Bandwidth must be greater than 0");
    EXPECT_EQ(bandwidth(" "), "Bandwidth value is required");
    EXPECT_EQ(bandwidth("+7"), valid);
    EXPECT_EQ(bandwidth(" 12\t"), valid);
    EXPECT_EQ(messageOf(ProfileValidator::validateCondition(Condition::upload, {"abc", false})),
              valid);
    EXPECT_EQ(bandwidth("10000000"), valid);
    // 1,250,000,125 bytes per second: one kilobit over.
    EXPECT_EQ(bandwidth("10000001"), "Bandwidth cannot exceed 10000000 Kbps");
    EXPECT_EQ(bandwidth("10000", BandwidthUnit::mbps), valid);
    // The last far beyond 64 bits once in bits per second.
    for (const char* text : {"10001", "9223372036854775807"}) {
        EXPECT_EQ(bandwidth(text, BandwidthUnit::mbps), "Bandwidth cannot exceed 10000 Mbps");
    }

    const auto latency = [](const char* text) { return checked(Condition::latency, text); };
    const auto dns = [](const char* text) { return checked(Condition::dnsDelay, text); };
    EXPECT_EQ(latency("0"), valid);
    EXPECT_EQ(latency("-1"), "Latency must be non-negative");
    EXPECT_EQ(latency("2.5"), "Latency must be a valid number");
    EXPECT_EQ(latency("10000"), valid);
    EXPECT_EQ(latency("10001"), "Latency cannot exceed 10000 ms");
    EXPECT_EQ(dns("-5"), "DNS delay must be non-negative");
    EXPECT_EQ(dns("30000"), valid);
    EXPECT_EQ(dns("30001"), "DNS delay cannot exceed 30000 ms");
}

TEST(ProfileValidatorTest, packetLossIsADecimalBetweenZeroAndHundred) {
    const auto check = [](const char* text) { return checked(Condition::packetLoss, text); };
    for (const char* accepted :
         {"0", "100", "2.5", ".5", "5.", "+1e1", "1e-400", "-0", "0.0001", "0.00005"}) {
        EXPECT_EQ(check(accepted), valid) << accepted;
    }
    for (const char* outOfRange : {"100.5", "-0.1", "nan", "inf", "1e400", "-1e400"}) {
        EXPECT_EQ(check(outOfRange), "Packet loss must be between 0 and 100") << outOfRange;
    }
    for (const char* garbage : {"abc", "1,5", "5%", "--1", "+-1", ".", "1e", "0x1p3"}) {
        EXPECT_EQ(check(garbage), "Packet loss must be a valid number") << garbage;
    }
    EXPECT_EQ(check(" "), "Packet loss value is required");
    // Finer than the helper shapes and rounding to no loss: a denormal too.
    for (const char* tooSmall : {"0.00004", "1e-320"}) {
        EXPECT_EQ(check(tooSmall), "Packet loss must be 0 or at least 0.0001") << tooSmall;
    }
}

TEST(ProfileValidatorTest, aFormGetsEveryMessageInCheckOrderWithFieldPrefixes) {
    // Both name checks fail; the field shows the first.
    ProfileFormData blankName;
    blankName.name = QStringLiteral(" ");
    const ProfileValidationResult blank =
        ProfileValidator::validateProfile(blankName, {""}, std::nullopt);
    EXPECT_THAT(errorsOf(blank), testing::IsSupersetOf({"Profile name cannot be empty",
                                                        "A profile named '' already exists"}));
    EXPECT_EQ(blank.nameError, "Profile name cannot be empty");

    ProfileFormData form;
    form.name = QStringLiteral("wifi");
    form[Condition::download] = {QStringLiteral("1.5"), true};
    form[Condition::upload] = {QStringLiteral("0"), true};
    form[Condition::latency] = {QStringLiteral("-1"), true};
    form[Condition::packetLoss] = {QStringLiteral("101"), true};
    form[Condition::dnsDelay].isOn = true;
    const ProfileValidationResult result =
        ProfileValidator::validateProfile(form, {QStringLiteral("WiFi")}, std::nullopt);
    EXPECT_THAT(errorsOf(result), ElementsAre("A profile named 'wifi' already exists",
                                              "Download: Bandwidth must be a valid number",
                                              "Upload: Bandwidth must be greater than 0",
                                              "Latency: Latency must be non-negative",
                                              "Packet Loss: Packet loss must be between 0 and 100",
                                              "DNS Delay: DNS delay value is required"));
    EXPECT_EQ(result.nameError, "A profile named 'wifi' already exists");
    EXPECT_EQ(result.conditionErrors.at(Condition::upload), "Bandwidth must be greater than 0");

    // Each bandwidth is judged in its own unit: 20000 is too fast in Mbps only.
    form[Condition::latency].isOn = form[Condition::packetLoss].isOn =
        form[Condition::dnsDelay].isOn = false;
    form.name = QStringLiteral("Fast");
    form[Condition::download] = {QStringLiteral("20000"), true, BandwidthUnit::mbps};
    form[Condition::upload] = {QStringLiteral("20000"), true, BandwidthUnit::kbps};
    EXPECT_THAT(errorsOf(ProfileValidator::validateProfile(form, {}, std::nullopt)),
                ElementsAre("Download: Bandwidth cannot exceed 10000 Mbps"));
}

TEST(ProfileValidatorTest, theRicherConditionsKeepToTheHelpersLimitsAndToOneAnother) {
    // Each percentage in the loss's steps and up to its limit, named as itself.
    const struct {
        Condition condition;
        const char* what;
        const char* maximum;
        const char* beyond;
    } percentages[] = {{Condition::lossCorrelation, "Loss correlation", "99", "99.0001"},
                       {Condition::reorder, "Reordering", "100", "100.1"},
                       {Condition::duplicate, "Duplication", "100", "100.1"}};
    for (const auto& [condition, what, maximum, beyond] : percentages) {
        const QString name = QString::fromLatin1(what);
        EXPECT_EQ(checked(condition, maximum), valid) << what;
        EXPECT_EQ(checked(condition, "0.0001"), valid) << what;
        EXPECT_EQ(checked(condition, beyond),
                  name + " must be between 0 and " + QString::fromLatin1(maximum));
        EXPECT_EQ(checked(condition, "5%"), name + " must be a valid number");
        EXPECT_EQ(checked(condition, "0.00004"), name + " must be 0 or at least 0.0001");
        EXPECT_EQ(checked(condition, ""), name + " value is required");
        EXPECT_EQ(messageOf(ProfileValidator::validateCondition(condition, {})), valid);
    }
    const auto jitter = [](const char* text) { return checked(Condition::jitter, text); };
    EXPECT_EQ(jitter("-1"), "Jitter must be non-negative");
    EXPECT_EQ(jitter("1.5"), "Jitter must be a valid number");
    EXPECT_EQ(jitter("10001"), "Jitter cannot exceed 10000 ms");

    // Jitter within the latency, a correlation only of a loss, reordering
    // only ahead of an inbound delay of a millisecond at least.
    ProfileFormData form;
    form.name = QStringLiteral("Bursty");
    form[Condition::latency] = {QStringLiteral("20"), true};
    form[Condition::jitter] = {QStringLiteral("20"), true};
    form[Condition::packetLoss] = {QStringLiteral("1"), true};
    form[Condition::lossCorrelation] = {QStringLiteral("25"), true};
    form[Condition::reorder] = {QStringLiteral("5"), true};
    form[Condition::duplicate] = {QStringLiteral("1"), true};
    EXPECT_TRUE(ProfileValidator::validateProfile(form, {}, std::nullopt).isValid);

    form[Condition::packetLoss].isOn = false;
    form[Condition::latency].text = QStringLiteral("1");
    form[Condition::jitter].text = QStringLiteral("2");
    const ProfileValidationResult result =
        ProfileValidator::validateProfile(form, {}, std::nullopt);
    EXPECT_THAT(errorsOf(result),
                ElementsAre("Jitter: Jitter cannot exceed the latency (1 ms)",
                            "Loss Correlation: Loss correlation needs a packet loss",
                            "Reordering: Reordering needs a latency of at least 2 ms"));
    EXPECT_EQ(result.conditionErrors.at(Condition::reorder),
              "Reordering needs a latency of at least 2 ms");
    form[Condition::latency].isOn = false;
    EXPECT_EQ(ProfileValidator::validateProfile(form, {}, std::nullopt)
                  .conditionErrors.at(Condition::jitter),
              "Jitter needs a latency at least as large");

    // Duplication alone is a condition: the profile configures something.
    ProfileFormData duplicateOnly;
    duplicateOnly.name = QStringLiteral("Echo");
    duplicateOnly[Condition::duplicate] = {QStringLiteral("2"), true};
    EXPECT_TRUE(ProfileValidator::validateProfile(duplicateOnly, {}, std::nullopt).isValid);
}

TEST(ProfileValidatorTest, destinationsAreEachWellFormedNoneTwiceAndAtMostSixtyFour) {
    const auto checked = [](const QString& lines) {
        return messageOf(ProfileValidator::validateDestinations(lines));
    };
    const std::pair<QString, QString> cases[] = {
        {"api.example.com\n10.0.0.0/8\n192.0.2.7:443\n:5432\n[2001:db8::1]:8443", valid},
        // Blank lines and blanks around an entry are not entries.
        {"\n  api.example.com  \n\n", valid},
        {"", "List at least one destination, or apply the profile to all traffic"},
        {" \n ", "List at least one destination, or apply the profile to all traffic"},
        {"api.example.com\napi.example.com", "'api.example.com' is listed twice"},
        {"api.example.com\nAPI.Example.com.",
         "'API.Example.com.' is listed twice (also as 'api.example.com')"},
        // The same host on two ports, and a network and an address in it, are two.
        {"api.example.com:80\napi.example.com:443\n10.0.0.0/8\n10.0.0.1", valid},
        {"10.0.0.1/8\n10.0.0.0/8", "'10.0.0.0/8' is listed twice (also as '10.0.0.1/8')"},
        {"ok.example.com\nexample.com:70000",
         "'example.com:70000': a port is a number from 1 to 65535"},
        {":0", "':0': a port is a number from 1 to 65535"},
        {"10.0.0.0/33", "'10.0.0.0/33': a network's prefix length is a number from 0 to 32"},
        {"[2001:db8::1",
         "'[2001:db8::1': an IPv6 address in brackets is [ADDRESS] or [ADDRESS]:PORT"},
        {"api example.com", "'api example.com' is not a host name, an address or a network"},
        {"10.0.0.300", "'10.0.0.300' is not a host name, an address or a network"},
        {"-bad.example.com", "'-bad.example.com' is not a host name, an address or a network"},
    };
    for (const auto& [lines, message] : cases) {
        EXPECT_EQ(checked(lines), message) << lines.toStdString();
    }

    QStringList many;
    for (int i = 1; i <= 64; ++i) {
        many << QStringLiteral(":%1").arg(i);
    }
    EXPECT_EQ(checked(many.join(u'\n')), valid);
    many << QStringLiteral(":65");
    EXPECT_EQ(checked(many.join(u'\n')), "A profile can apply to at most 64 destinations, not 65");
}

TEST(ProfileValidatorTest, theDestinationsListIsCheckedOnlyWhenTheProfileIsLimitedToIt) {
    ProfileFormData form;
    form.name = QStringLiteral("Scoped");
    form[Condition::latency] = {QStringLiteral("100"), true};
    form.destinationsText = QStringLiteral("not a host!");
    EXPECT_TRUE(ProfileValidator::validateProfile(form, {}, std::nullopt).isValid);

    form.appliesTo = ProfileFormData::AppliesTo::destinations;
    const ProfileValidationResult result =
        ProfileValidator::validateProfile(form, {}, std::nullopt);
    EXPECT_THAT(
        errorsOf(result),
        ElementsAre("Applies to: 'not a host!' is not a host name, an address or a network"));
    EXPECT_EQ(result.destinationsError,
              "'not a host!' is not a host name, an address or a network");
}

TEST(ProfileValidatorTest, aScheduleIsCheckedPhaseByPhaseNamingThePhase) {
    ProfileFormData form = ProfileFormData::from(preset("Commuter Train"));
    form.name = "Train";
    EXPECT_THAT(errorsOf(ProfileValidator::validateProfile(form, {}, std::nullopt)),
                testing::IsEmpty());

    ProfileSchedule& schedule = form.schedule;
    schedule.phases[0].durationMs = 99;
    schedule.phases[0].conditions->jitter = 60;
    schedule.phases[1].name = QStringLiteral("\u200b");
    schedule.phases[2].conditions->latency = 20'000;
    const ProfileValidationResult result =
        ProfileValidator::validateProfile(form, {}, std::nullopt);
    EXPECT_THAT(errorsOf(result),
                ElementsAre("Phase 1 (LTE): Duration must be between 100 ms and 24 hours",
                            // Its own check passed; against the latency it fails.
                            "Phase 1 (LTE): Jitter cannot exceed the latency (50 ms)",
                            "Phase 2: Name cannot contain control, invisible formatting or "
                            "unassigned characters (U+200B)",
                            "Phase 3 (3G): Latency cannot exceed 10000 ms"));
    EXPECT_EQ(result.scheduleError, result.errors.first());

    // 24 hours is the longest phase, 64 the most phases.
    schedule.phases = {preset("Commuter Train").schedule.phases[1]};
    schedule.phases[0].durationMs = 24 * 3600 * 1000;
    EXPECT_TRUE(ProfileValidator::validateProfile(form, {}, std::nullopt).isValid);
    schedule.phases.resize(65, schedule.phases[0]);
    EXPECT_THAT(errorsOf(ProfileValidator::validateProfile(form, {}, std::nullopt)),
                ElementsAre("A schedule has at most 64 phases, not 65"));

    schedule.phases.resize(1);
    schedule.trace.downloadBytesPerSecond = {15'000};
    EXPECT_THAT(errorsOf(ProfileValidator::validateProfile(form, {}, std::nullopt)),
                ElementsAre("A profile plays phases or a trace, not both"));
}

TEST(ProfileValidatorTest, aTraceKeepsToItsStepsAndTheHelpersRatesAndTheProfileFitsTheStore) {
    ProfileFormData form;
    form.name = "Recorded";
    CapacityTrace& trace = form.schedule.trace;
    // A trace needs no condition of the profile's own: it sets the rates.
    trace.uploadBytesPerSecond = {15'000, 0};
    EXPECT_TRUE(ProfileValidator::validateProfile(form, {}, std::nullopt).isValid);

    trace.stepMs = 1001;
    EXPECT_THAT(errorsOf(ProfileValidator::validateProfile(form, {}, std::nullopt)),
                ElementsAre("The trace's steps must be 100 to 1000 ms long"));
    trace.stepMs = 100;
    trace.uploadBytesPerSecond = {15'000, 1'250'000'001};
    trace.downloadBytesPerSecond.assign(864'001, 0);
    EXPECT_THAT(errorsOf(ProfileValidator::validateProfile(form, {}, std::nullopt)),
                ElementsAre("The download trace runs past 24 hours",
                            "The upload trace's rate at 100 ms is not within 0 and 10000 Mbps"));

    // No file could hold it, whatever else the store holds.
    trace = {};
    form[Condition::latency] = {"10", true};
    form.otherKeys.insert("aNewerBuildsKey", QString(16 << 20, u'x'));
    EXPECT_THAT(errorsOf(ProfileValidator::validateProfile(form, {}, std::nullopt)),
                ElementsAre("The profile would take 16 MiB or more to store"));
}
