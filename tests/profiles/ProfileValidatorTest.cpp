// Part of Veltrane. Copyright (c) 2026 the Veltrane developers.
#include "ProfileValidator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using Field = ProfileValidationResult::ProfileField;

namespace {

QString messageOf(const ValidationResult& result) {
    return result.message.value_or(QStringLiteral("<valid>"));
}

std::vector<QString> errorsOf(const ProfileValidationResult& result) {
    return {result.errors.begin(), result.errors.end()};
}

ProfileFormData latencyOnly(const QString& name) {
    ProfileFormData form;
    form.name = name;
    form.hasLatency = true;
    form.latency = QStringLiteral("10");
    return form;
}

const QString valid = QStringLiteral("<valid>");

} // namespace

TEST(ProfileValidatorTest, namesAreTrimmedOfSpacesAndTabsOnly) {
    EXPECT_EQ(messageOf(ProfileValidator::validateName("   ")), "Profile name cannot be empty");
    // U+3000 ideographic space and U+00A0 are space separators; a line break is not.
    EXPECT_EQ(messageOf(ProfileValidator::validateName(QStringLiteral("\t\u3000\u00a0"))),
              "Profile name cannot be empty");
    EXPECT_EQ(messageOf(ProfileValidator::validateName("\n")), valid);
}

TEST(ProfileValidatorTest, nameUniquenessIgnoresCaseUnlessEditing) {
    const QStringList names{"WiFi", "Straße", "École"};
    EXPECT_EQ(messageOf(ProfileValidator::validateNameUniqueness(" wifi ", names, std::nullopt)),
              "A profile named 'wifi' already exists");
    EXPECT_EQ(messageOf(ProfileValidator::validateNameUniqueness("STRASSE", names, std::nullopt)),
              valid);
    EXPECT_NE(messageOf(ProfileValidator::validateNameUniqueness("éCOLE", names, std::nullopt)),
              valid);
    EXPECT_EQ(
        messageOf(ProfileValidator::validateNameUniqueness("wifi", names, QUuid::createUuid())),
        valid);
}

TEST(ProfileValidatorTest, bandwidthMustBeAPositiveWholeNumber) {
    const auto check = [](const char* text) {
        return messageOf(ProfileValidator::validateBandwidth(text, true));
    };
    EXPECT_EQ(check(" "), "Bandwidth value is required");
    EXPECT_EQ(check("1.5"), "Bandwidth must be a valid number");
    EXPECT_EQ(check("1,5"), "Bandwidth must be a valid number");
    EXPECT_EQ(check("0x10"), "Bandwidth must be a valid number");
    EXPECT_EQ(check("١٢"), "Bandwidth must be a valid number");
    EXPECT_EQ(check("9223372036854775808"), "Bandwidth must be a valid number");
    EXPECT_EQ(check("0"), "Bandwidth must be greater than 0");
    EXPECT_EQ(check("-3"), "Bandwidth must be greater than 0");
    EXPECT_EQ(check("+7"), valid);
    EXPECT_EQ(check(" 12\t"), valid);
    EXPECT_EQ(messageOf(ProfileValidator::validateBandwidth("abc", false)), valid);
}

TEST(ProfileValidatorTest, delaysMustBeNonNegativeWholeNumbers) {
    EXPECT_EQ(messageOf(ProfileValidator::validateLatency("0", true)), valid);
    EXPECT_EQ(messageOf(ProfileValidator::validateLatency("-1", true)),
              "Latency must be non-negative");
    EXPECT_EQ(messageOf(ProfileValidator::validateLatency("2.5", true)),
              "Latency must be a valid number");
    EXPECT_EQ(messageOf(ProfileValidator::validateDnsDelay("-5", true)),
              "DNS delay must be non-negative");
}

TEST(ProfileValidatorTest, packetLossIsADecimalBetweenZeroAndHundred) {
    const auto check = [](const char* text) {
        return messageOf(ProfileValidator::validatePacketLoss(text, true));
    };
    for (const char* accepted : {"0", "100", "2.5", ".5", "5.", "+1e1", "1e-400", "-0"}) {
        EXPECT_EQ(check(accepted), valid) << accepted;
    }
    for (const char* outOfRange : {"100.5", "-0.1", "nan", "inf", "1e400", "-1e400"}) {
        EXPECT_EQ(check(outOfRange), "Packet loss must be between 0 and 100") << outOfRange;
    }
    for (const char* garbage : {"abc", "1,5", "5%", "--1", "+-1", ".", "1e", "0x1p3"}) {
        EXPECT_EQ(check(garbage), "Packet loss must be a valid number") << garbage;
    }
    EXPECT_EQ(check(" "), "Packet loss value is required");
}

TEST(ProfileValidatorTest, emptyNameWithNothingSwitchedOnGivesTwoMessages) {
    const ProfileValidationResult result = ProfileValidator::validateProfile({}, {}, std::nullopt);
    EXPECT_FALSE(result.isValid);
    EXPECT_THAT(errorsOf(result), ElementsAre("Profile name cannot be empty",
                                              "Profile must have at least one throttling "
                                              "option enabled"));
    EXPECT_EQ(result.fieldErrors.size(), 2u);
    EXPECT_EQ(result.fieldErrors.at(Field::name), "Profile name cannot be empty");
    EXPECT_TRUE(result.fieldErrors.contains(Field::general));
}

TEST(ProfileValidatorTest, messagesFollowCheckOrderWithFieldPrefixes) {
    ProfileFormData form = latencyOnly(QStringLiteral("wifi"));
    form.hasDownloadLimit = true;
    form.downloadSpeed = QStringLiteral("1.5");
    form.hasUploadLimit = true;
    form.uploadSpeed = QStringLiteral("0");
    form.latency = QStringLiteral("-1");
    form.hasPacketLoss = true;
    form.packetLoss = QStringLiteral("101");
    form.hasDnsDelay = true;
    const ProfileValidationResult result =
        ProfileValidator::validateProfile(form, {QStringLiteral("WiFi")}, std::nullopt);
    EXPECT_THAT(errorsOf(result), ElementsAre("A profile named 'wifi' already exists",
                                              "Download: Bandwidth must be a valid number",
                                              "Upload: Bandwidth must be greater than 0",
                                              "Latency: Latency must be non-negative",
                                              "Packet Loss: Packet loss must be between 0 and 100",
                                              "DNS Delay: DNS delay value is required"));
    EXPECT_EQ(result.fieldErrors.at(Field::name), "A profile named 'wifi' already exists");
    EXPECT_EQ(result.fieldErrors.at(Field::uploadBandwidth), "Bandwidth must be greater than 0");
    EXPECT_FALSE(result.fieldErrors.contains(Field::general));
}
