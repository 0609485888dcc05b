// SPDX-License-Identifier: MIT
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;

    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
    QJsonDocument json() const { return QJsonDocument::fromJson(out.toUtf8()); }
};

// Runs veltranectl the way a user would, in a home of its own.
class VeltranectlTest : public testing::Test {
protected:
    Outcome run(const QStringList& arguments) const {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELTRANECTL), arguments);
        if (!process.waitForFinished(30000)) {
            ADD_FAILURE() << "veltranectl did not finish";
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QJsonObject show(const QString& profile) const {
        return run({"show", profile}).json().object();
    }

    QTemporaryDir home;
};

} // namespace

TEST_F(VeltranectlTest, aFreshHomeListsTheTenBuiltInProfilesInOrder) {
    const Outcome listing = run({"profiles"});
    EXPECT_EQ(listing.status, 0);
    const QStringList lines = listing.lines();
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.first(), "100% Loss\t100% loss\tbuilt-in\tshown");
    EXPECT_EQ(lines[1], "3G\tD: 780 Kbps, U: 330 Kbps, 100ms\tbuilt-in\tshown");
    EXPECT_EQ(lines.last(), "WiFi (Lossy)\tD: 40 Mbps, U: 33 Mbps, 1ms, 1% loss\tbuilt-in\tshown");
    EXPECT_EQ(run({"profiles", "--json"}).json().array().size(), 10);
}

TEST_F(VeltranectlTest, aCreatedProfileLandsInTheApplicationsFile) {
    const Outcome created = run({"create", "--name", "  Slow  ", "--down", "780kbps", "--up", "2",
                                 "--latency", "0", "--loss", "2.5"});
    ASSERT_EQ(created.status, 0) << created.err.toStdString();
    const QString id = created.out.trimmed();
    EXPECT_EQ(id.size(), 36);

    const QJsonObject record = show("SLOW");
    EXPECT_EQ(record.value("id").toString(), id);
    EXPECT_EQ(record.value("name").toString(), "Slow");
    EXPECT_EQ(record.value("downloadBandwidth").toObject(),
              (QJsonObject{{"unit", "kbps"}, {"value", 780}}));
    EXPECT_EQ(record.value("uploadBandwidth").toObject().value("unit").toString(), "mbps");
    EXPECT_EQ(record.value("latency").toInt(-1), 0);
    EXPECT_FALSE(record.contains("dnsDelay"));
    EXPECT_EQ(run({"profiles"}).lines().last(),
              "Slow\tD: 780 Kbps, U: 2 Mbps, 0ms, 2% loss\tcustom\tshown");
}

TEST_F(VeltranectlTest, invalidInputExitsWithStatusTwoAndEveryMessage) {
    const Outcome refused =
        run({"create", "--name", "wifi", "--down", "1.5", "--latency=-1", "--loss", "abc"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err.split(u'\n', Qt::SkipEmptyParts),
                ElementsAre("A profile named 'wifi' already exists",
                            "Download: Bandwidth must be a valid number",
                            "Latency: Latency must be non-negative",
                            "Packet Loss: Packet loss must be a valid number"));
    EXPECT_FALSE(QFile::exists(home.filePath("data/Veltrane/CustomProfiles.json")));
    EXPECT_EQ(run({"create", "--colour", "red"}).status, 2);
    EXPECT_EQ(run({"show"}).status, 2);
    EXPECT_EQ(run({"create", "--help"}).status, 0);
}

TEST_F(VeltranectlTest, editingChangesOnlyWhatIsGivenAndRefusesBuiltInProfiles) {
    const Outcome created = run({"create", "--name", "Mine", "--down", "5", "--latency", "10"});
    ASSERT_EQ(created.status, 0);
    const QString id = created.out.trimmed();
    const Outcome edited = run({"edit", "mine", "--no-down", "--dns", "30", "--name", "Edge"});
    ASSERT_EQ(edited.status, 0) << edited.err.toStdString();
    // Renaming to a taken name is allowed when editing; "Edge" now names the
    // built-in profile first, so look at the custom one, listed last.
    const QJsonObject record = run({"profiles", "--json"}).json().array().last().toObject();
    EXPECT_EQ(record.value("name").toString(), "Edge");
    EXPECT_FALSE(record.contains("downloadBandwidth"));
    EXPECT_EQ(record.value("latency").toInt(), 10);
    EXPECT_EQ(record.value("dnsDelay").toInt(), 30);

    const Outcome builtIn = run({"edit", "WiFi", "--latency", "3"});
    EXPECT_EQ(builtIn.status, 1);
    EXPECT_EQ(builtIn.err.trimmed(), "Built-in profile — cannot be edited. Use 'Duplicate' to "
                                     "create an editable copy.");
    EXPECT_EQ(run({"edit", id, "--down", "1", "--no-down"}).status, 2);
    const Outcome missing = run({"delete", "Nowhere"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.count(u'\n'), 1);
}

TEST_F(VeltranectlTest, visibilityDeletionAndCopiesSurviveFromOneRunToTheNext) {
    EXPECT_EQ(run({"hide", "edge"}).status, 0);
    EXPECT_EQ(run({"delete", "00000000-0000-0000-0000-000000000007"}).status, 0);
    const Outcome copy = run({"duplicate", "3g"});
    ASSERT_EQ(copy.status, 0);
    EXPECT_EQ(show(copy.out.trimmed()).value("name").toString(), "3G Copy");
    EXPECT_EQ(run({"hide", "3G copy"}).status, 0);

    const QStringList lines = run({"profiles"}).lines();
    EXPECT_EQ(lines.size(), 10);
    EXPECT_THAT(lines.join(u'\n').toStdString(), testing::Not(HasSubstr("LTE")));
    EXPECT_THAT(lines.filter("\thidden"),
                ElementsAre("Edge\tD: 240 Kbps, U: 200 Kbps, 400ms\tbuilt-in\thidden",
                            "3G Copy\tD: 780 Kbps, U: 330 Kbps, 100ms\tcustom\thidden"));

    EXPECT_EQ(run({"unhide", "Edge"}).status, 0);
    EXPECT_TRUE(show("Edge").value("showInMenu").toBool());
}
