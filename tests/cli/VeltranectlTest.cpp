// SPDX-License-Identifier: MIT
#include "ProfileManager.h"
#include "ProfileTestSupport.h"
#include "SettingsKeys.h"
#include "VeltranectlRunner.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <list>
#include <unistd.h>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

// veltranectl beside the application's store over the same files.
class VeltranectlTest : public VeltranectlRunner {
protected:
    QString customFile() const { return home.filePath("data/Veltrane/CustomProfiles.json"); }

    // The application's store over the same files, loaded.
    ProfileManager& application() {
        if (!m_application) {
            m_settings =
                std::make_unique<UserDefaults>(home.filePath("config/Veltrane/Veltrane.json"));
            m_application = std::make_unique<ProfileManager>(*m_settings, home.filePath("data"));
        }
        return *m_application;
    }

private:
    std::unique_ptr<UserDefaults> m_settings;
    std::unique_ptr<ProfileManager> m_application;
};

} // namespace

TEST_F(VeltranectlTest, theListingIsATableOnATerminalAndEscapedTabSeparatedLinesOtherwise) {
    ASSERT_EQ(run({"create", "--name", "Tab\there\\", "--latency", "5ms"}).status, 0);
    const QStringList lines = run({"profiles"}).lines();
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines.first(), "100% Loss\t100% loss\tbuilt-in\tshown");
    EXPECT_EQ(lines.last(), "Tab\\there\\\\\t5ms\tcustom\tshown");
    EXPECT_EQ(run({"profiles", "--json"}).json().array().size(), 14);

    const QStringList table = runOnTerminal("profiles").lines();
    ASSERT_EQ(table.size(), 15);
    EXPECT_THAT(table.first().split(u' ', Qt::SkipEmptyParts),
                ElementsAre("NAME", "LIMITS", "TYPE", "MENU"));
    EXPECT_EQ(table[2].indexOf("D: 780 Kbps"), table.first().indexOf("LIMITS"));
    EXPECT_EQ(table.last().indexOf("custom"), table.first().indexOf("TYPE"));
}

TEST_F(VeltranectlTest, valuesAreReadTheWayTheyArePrintedAndBandwidthsNeedAUnit) {
    const Outcome created =
        run({"create", "--name", "  Slow  ", "--down", "780kbps", "--up", "2 Mbps", "--latency",
             "0ms", "--loss", "2.5%", "--dns", "3000ms"});
    ASSERT_EQ(created.status, 0) << created.err.toStdString();
    const QString id = created.out.trimmed();
    EXPECT_EQ(created.lines(), QStringList{id});

    const QJsonObject record = show("SLOW");
    EXPECT_EQ(record.value("id").toString(), id);
    EXPECT_EQ(record.value("name").toString(), "Slow");
    EXPECT_EQ(record.value("downloadBandwidth").toObject(),
              (QJsonObject{{"unit", "kbps"}, {"value", 780}}));
    EXPECT_EQ(record.value("uploadBandwidth").toObject(),
              (QJsonObject{{"unit", "mbps"}, {"value", 2}}));
    EXPECT_EQ(record.value("latency").toInt(-1), 0);
    EXPECT_EQ(record.value("packetLossPercent").toDouble(), 2.5);
    EXPECT_EQ(record.value("dnsDelay").toInt(), 3000);

    const Outcome bare = run({"edit", id, "--down", "780"});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.err, "Download: Bandwidth needs a unit, for example 780kbps or 10mbps\n");
}

TEST_F(VeltranectlTest, theRicherConditionsGoInWithTheirUnitsAndComeOutInShowAndTheListing) {
    ASSERT_EQ(run({"create", "--name", "Bursty", "--latency", "100ms", "--jitter", "20ms", "--loss",
                   "2%", "--loss-correlation", "25%", "--reorder", "0.5%", "--duplicate", "1%"})
                  .status,
              0);
    QJsonObject record = show("Bursty");
    EXPECT_EQ(record.value("jitter").toInt(), 20);
    EXPECT_EQ(record.value("packetLossCorrelationPercent").toDouble(), 25);
    EXPECT_EQ(record.value("reorderPercent").toDouble(), 0.5);
    EXPECT_EQ(record.value("duplicatePercent").toDouble(), 1);
    EXPECT_EQ(run({"profiles"}).lines().last(),
              "Bursty\t100ms, ±20ms jitter, 2% loss, 25% loss correlation, 0.5% reordered, "
              "1% duplicated\tcustom\tshown");

    ASSERT_EQ(run({"edit", "Bursty", "--no-jitter", "--no-duplicate", "--reorder", "2%"}).status,
              0);
    record = show("Bursty");
    EXPECT_FALSE(record.contains("jitter") || record.contains("duplicatePercent"));
    EXPECT_EQ(record.value("reorderPercent").toDouble(), 2);
    EXPECT_EQ(record.value("packetLossCorrelationPercent").toDouble(), 25);

    const Outcome refused = run({"edit", "Bursty", "--jitter", "101ms", "--no-loss"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.errors(),
                ElementsAre("Jitter: Jitter cannot exceed the latency (100 ms)",
                            "Loss Correlation: Loss correlation needs a packet loss"));
}

TEST_F(VeltranectlTest, invalidInputExitsWithStatusTwoAndEveryMessageAndStoresNothing) {
    const Outcome refused =
        run({"create", "--name", "wifi", "--down", "1.5mbps", "--latency=-1", "--loss", "abc"});
    EXPECT_EQ(refused.status, 2);
    // The validator's tests own the messages and the limits; every message is printed.
    EXPECT_EQ(refused.errors().size(), 4) << refused.err.toStdString();
    EXPECT_EQ(run({"create", "--colour", "red"}).status, 2);
    // Bytes that are not UTF-8, as a shell passes them on.
    QProcess process;
    start(process,
          {"-c", "exec \"$0\" create --name \"$(printf 'caf\\351')\" --latency 5", VELTRANECTL},
          "/bin/sh");
    const Outcome notUtf8 = finished(process);
    EXPECT_EQ(notUtf8.status, 2);
    EXPECT_THAT(notUtf8.err.toStdString(), HasSubstr("is not valid UTF-8"));
    EXPECT_FALSE(QFile::exists(customFile()));
}

TEST_F(VeltranectlTest, theCommandLineSaysWhatIsWrongAndHelpFitsEightyColumns) {
    EXPECT_EQ(run({"--version"}).out, "veltranectl 1.0.0\n");
    const Outcome unknown = run({"prfiles"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.errors(),
                ElementsAre("veltranectl: 'prfiles' is not a command. See 'veltranectl --help'.",
                            "Did you mean 'profiles'?"));
    const Outcome missing = run({"show"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.errors().first(), "veltranectl show: missing PROFILE");
    EXPECT_EQ(run({"hide", "Edge", "LTE"}).errors().first(),
              "veltranectl hide: unexpected argument 'LTE'");
    EXPECT_EQ(run({"run", "3G", "--"}).errors().first(),
              "veltranectl run: missing the COMMAND to run");

    QStringList help = run({"--help"}).lines();
    for (const char* command :
         {"profiles", "create", "edit", "delete", "restore", "status", "run", "watch"}) {
        const Outcome commandHelp = run({command, "--help"});
        EXPECT_EQ(commandHelp.status, 0);
        help += commandHelp.lines();
    }
    for (const QString& line : help) {
        EXPECT_LE(line.size(), 80) << line.toStdString();
    }
}

TEST_F(VeltranectlTest, editingKeepsAHiddenProfileHiddenAndAmbiguousNamesAreRefused) {
    const QString id = run({"create", "--name", "Mine", "--down", "5mbps"}).out.trimmed();
    // Editing may rename a profile to a name that is taken.
    ASSERT_EQ(run({"edit", "mine", "--name", "Edge"}).status, 0);
    const Outcome ambiguous = run({"hide", "EDGE"});
    EXPECT_EQ(ambiguous.status, 2);
    EXPECT_THAT(ambiguous.errors(),
                ElementsAre("'EDGE' names 2 profiles; give one of these ids:",
                            "  00000000-0000-0000-0000-000000000005  Edge (built-in)",
                            "  " + id + "  Edge (custom)"));

    ASSERT_EQ(run({"hide", id}).status, 0);
    ASSERT_EQ(run({"edit", id, "--no-down", "--dns", "30"}).status, 0);
    QJsonObject record = show(id);
    EXPECT_FALSE(record.contains("downloadBandwidth"));
    EXPECT_EQ(record.value("dnsDelay").toInt(), 30);
    EXPECT_FALSE(record.value("showInMenu").toBool());
    ASSERT_EQ(run({"edit", id, "--show"}).status, 0);
    EXPECT_TRUE(show(id).value("showInMenu").toBool());

    const Outcome builtIn = run({"edit", "WiFi", "--latency", "3"});
    EXPECT_EQ(builtIn.status, 1);
    EXPECT_EQ(builtIn.err, "Built-in profile — cannot be edited. Use 'Duplicate' to create an "
                           "editable copy.\n");
    EXPECT_EQ(run({"edit", id, "--down", "1mbps", "--no-down"}).status, 2);
    EXPECT_EQ(run({"delete", "Nowhere"}).errors(),
              QStringList{"No profile with the id or name 'Nowhere'"});
}

TEST_F(VeltranectlTest, aBuiltInProfileIsDeletedOnlyWhenConfirmedAndCanBeRestored) {
    const Outcome unconfirmed = run({"delete", "wifi"});
    EXPECT_EQ(unconfirmed.status, 2);
    EXPECT_EQ(unconfirmed.err, "Deleting the built-in profile 'WiFi' needs --yes without a "
                               "terminal\n");
    // On a terminal it asks, and anything but yes (here the end of input) declines.
    const Outcome declined = runOnTerminal("delete wifi");
    EXPECT_EQ(declined.status, 1);
    EXPECT_THAT(declined.out.toStdString(),
                HasSubstr("Delete built-in profile 'WiFi'? Built-in profiles can be restored "
                          "with 'veltranectl restore'. [y/N] "));
    ASSERT_EQ(run({"delete", "--yes", "wifi"}).status, 0);
    ASSERT_EQ(run({"delete", "--yes", "lte"}).status, 0);
    EXPECT_EQ(run({"profiles"}).lines().size(), 11);
    EXPECT_EQ(run({"restore", "Nowhere"}).status, 1);

    ASSERT_EQ(run({"restore", "WIFI"}).status, 0);
    EXPECT_EQ(show("WiFi").value("name").toString(), "WiFi");
    ASSERT_EQ(run({"restore", "--all"}).status, 0);
    EXPECT_EQ(run({"profiles"}).lines().size(), 13);
}

TEST_F(VeltranectlTest, dataGoesToStandardOutputAndCorruptFilesAreReportedOnStandardError) {
    QDir().mkpath(home.filePath("config/Veltrane"));
    QDir().mkpath(home.filePath("data/Veltrane"));
    QFile settings(home.filePath("config/Veltrane/Veltrane.json"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("{not json");
    settings.close();
    QFile custom(customFile());
    ASSERT_TRUE(custom.open(QIODevice::WriteOnly));
    custom.write("[{\"name\": \"no id\"}]");
    custom.close();

    const Outcome listing = run({"profiles", "--json"});
    EXPECT_EQ(listing.status, 0);
    EXPECT_EQ(listing.json().array().size(), 13);
    EXPECT_THAT(listing.err.toStdString(), HasSubstr("Cannot read the settings file "));
    EXPECT_THAT(listing.err.toStdString(), HasSubstr("Cannot read the custom profiles file "));

    const Outcome copy = run({"duplicate", "3G"});
    ASSERT_EQ(copy.status, 0) << copy.err.toStdString();
    // Only the new id: the store's notes on the broken file stay on standard error.
    EXPECT_EQ(copy.out.size(), 37) << copy.out.toStdString();
}

TEST_F(VeltranectlTest, parallelWritersAndTheApplicationLoseNothing) {
    application().loadBuiltInProfiles();
    application().loadCustomProfiles();
    QList<QStringList> creates;
    for (int i = 0; i < 20; ++i) {
        creates << QStringList{"create", "--name", QStringLiteral("Parallel %1").arg(i),
                               "--latency", "10ms"};
    }
    QList<QStringList> hides;
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        hides << QStringList{"hide", ThrottleProfile::idText(profile.id())};
    }
    std::list<QProcess> running;
    for (const QStringList& arguments : creates + hides) {
        start(running.emplace_back(), arguments);
    }
    // The application changes both files meanwhile.
    for (int i = 0; i < 5; ++i) {
        application().createProfile(ThrottleProfile(
            QUuid::createUuid(), QStringLiteral("Application %1").arg(i), std::nullopt,
            std::nullopt, 1, std::nullopt, std::nullopt, false, true));
    }
    for (QProcess& process : running) {
        EXPECT_EQ(finished(process).status, 0);
    }

    const QStringList lines = run({"profiles"}).lines();
    EXPECT_EQ(lines.filter("\tcustom\t").size(), 25);
    EXPECT_EQ(lines.filter("\tbuilt-in\thidden").size(), 13);
}

TEST_F(VeltranectlTest, hiddenCharactersInAStoredNameAreShownAsEscapes) {
    const QString name = QStringLiteral("ev\u202eil\u200b\u001b[31m\\");
    const QString escaped = QStringLiteral("ev\\u202eil\\u200b\\u001b[31m\\\\");
    const QString id = QStringLiteral("11111111-2222-3333-4444-555555555555");
    writeFile(customFile(), QJsonDocument(QJsonArray{QJsonObject{{"id", id},
                                                                 {"name", name},
                                                                 {"latency", 5},
                                                                 {"isBuiltIn", false},
                                                                 {"showInMenu", true}}})
                                .toJson());
    writeFile(home.filePath("config/Veltrane/Veltrane.json"),
              QJsonDocument(QJsonObject{{SettingsKeys::selectedProfileID, id}}).toJson());

    EXPECT_EQ(run({"profiles"}).lines().last(), escaped + "\t5ms\tcustom\tshown");
    // JSON escapes read back as the same name.
    const Outcome shown = run({"show", id});
    EXPECT_FALSE(shown.out.contains(QChar(0x202e)));
    EXPECT_EQ(shown.json().object().value("name").toString(), name);
    EXPECT_EQ(run({"show", QStringLiteral("x\u202e")}).err,
              "No profile with the id or name 'x\\u202e'\n");

    // Without a bus, status still names the selection.
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));
    EXPECT_THAT(run({"status"}).lines(), testing::Contains("Selected profile: " + escaped));

    // The exports escape a name as every other output does.
    for (const char* format : {"tc", "networkchaos"}) {
        const Outcome exported = run({"export", "--format", format, id});
        EXPECT_TRUE(exported.out.contains(escaped)) << format;
        EXPECT_FALSE(exported.out.contains(QChar(0x202e))) << format;
    }
}

TEST_F(VeltranectlTest, aStoredValueNoExportCanCarryEndsTheCommandWithAMessage) {
    // Stored by hand or by an older version: beyond what the wire can carry.
    const QString id = QStringLiteral("11111111-2222-3333-4444-666666666666");
    writeFile(customFile(),
              QJsonDocument(
                  QJsonArray{QJsonObject{
                      {"id", id},
                      {"name", "Huge"},
                      {"downloadBandwidth",
                       QJsonObject{{"value", qint64(9'000'000'000'000'000'000)}, {"unit", "mbps"}}},
                      {"isBuiltIn", false},
                      {"showInMenu", true}}})
                  .toJson());
    for (const char* format : {"tc", "networkchaos"}) {
        const Outcome exported = run({"export", "--format", format, "Huge"});
        EXPECT_EQ(exported.status, 1) << format;
        EXPECT_EQ(exported.err, "'Huge' cannot be exported: Download bandwidth is too large\n");
    }
    EXPECT_EQ(run({"export", "Huge"}).status, 0);
}

TEST_F(VeltranectlTest, rootRefusesToWriteInAnotherUsersFolders) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root; the seam of the ownership check is tested on its own";
    }
    for (const char* folder : {"data", "config"}) {
        QTemporaryDir other;
        environment.insert("XDG_CONFIG_HOME", other.filePath("config"));
        environment.insert("XDG_DATA_HOME", other.filePath("data"));
        ASSERT_TRUE(QDir().mkpath(other.filePath(folder)));
        ASSERT_EQ(::chown(QFile::encodeName(other.filePath(folder)).constData(), 4242, 4242), 0);

        const Outcome outcome = run({"create", "--name", "Mine", "--latency", "5"});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_THAT(outcome.err.toStdString(),
                    HasSubstr("'" + other.filePath(folder).toStdString() + "'"));
        EXPECT_THAT(outcome.err.toStdString(), HasSubstr("(uid 4242)"));
        EXPECT_EQ(QDir(other.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{folder});

        // What only reads works: sudo -E is how a user reaches for 'off'
        // with the network crippled.
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));
        EXPECT_EQ(run({"profiles"}).lines().size(), 13);
        EXPECT_EQ(run({"show", "3G"}).status, 0);
        EXPECT_EQ(run({"export", "--format", "tc", "3G"}).status, 0);
        for (const char* helperCommand : {"off", "status"}) {
            const Outcome outcome = run({helperCommand});
            EXPECT_THAT(outcome.err.toStdString(), HasSubstr("Cannot reach the system bus"))
                << helperCommand;
        }
        const Outcome intoTheirFolder =
            run({"export", "--output", other.filePath(folder) + "/mine.json"});
        EXPECT_EQ(intoTheirFolder.status, 1);
        EXPECT_THAT(intoTheirFolder.err.toStdString(), HasSubstr("Not writing as root"));
        EXPECT_EQ(QDir(other.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{folder});
        EXPECT_TRUE(QDir(other.filePath(folder)).isEmpty());
    }
}

TEST_F(VeltranectlTest, profilesTravelThroughAFileWithTheStatusesAScriptChecks) {
    ASSERT_EQ(run({"create", "--name", "Jit", "--latency", "100ms", "--jitter", "20ms"}).status, 0);
    const QJsonObject all = run({"export"}).json().object();
    EXPECT_EQ(all.value("format"), "veltrane-profiles");
    EXPECT_EQ(all.value("profiles").toArray().size(), 1);

    const QString file = home.filePath("shared.json");
    EXPECT_EQ(run({"export", "3g", "Jit", "--output", file}).out,
              "Exported 2 profiles to " + file + "\n");
    const Outcome unknown = run({"export", "Jit", "Nothere"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "No profile with the id or name 'Nothere'\n");
    EXPECT_EQ(run({"export", "--format", "tc", "Jit", "3G"}).status, 2);

    EXPECT_EQ(run({"import", file}).out, "Imported 2 profiles: 3G Copy, Jit Copy\n");
    const Outcome clash = run({"import", file, "--no-rename"});
    EXPECT_EQ(clash.status, 1);
    EXPECT_EQ(clash.err, "Nothing imported: profiles named '3G', 'Jit' already exist\n");
    EXPECT_EQ(run({"import", customFile()}).status, 2);
    EXPECT_EQ(run({"profiles"}).lines().size(), 16);

    // The script is one a shell reads.
    QProcess shell;
    shell.start("/bin/sh", {"-n"});
    shell.write(run({"export", "--format", "tc", "Jit"}).out.toUtf8());
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished());
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
}

TEST_F(VeltranectlTest, theClusterManifestCarriesEveryConditionChaosMeshShapes) {
    ASSERT_EQ(run({"create", "--name", "Bad Wi-Fi!", "--latency", "100ms", "--jitter", "20ms",
                   "--loss", "2.5%", "--loss-correlation", "25%", "--duplicate", "1%", "--reorder",
                   "5%", "--up", "2mbps", "--down", "780kbps"})
                  .status,
              0);
    // Read as a cluster would: YAML, documents of their own.
    QProcess yaml;
    yaml.start("/usr/bin/python3",
               {"-c", "import sys, yaml, json; "
                      "print(json.dumps(list(yaml.safe_load_all(sys.stdin))))"});
    yaml.write(run({"export", "--format", "networkchaos", "bad wi-fi!"}).out.toUtf8());
    yaml.closeWriteChannel();
    ASSERT_TRUE(yaml.waitForFinished());
    const QJsonArray documents = QJsonDocument::fromJson(yaml.readAllStandardOutput()).array();
    ASSERT_EQ(documents.size(), 2) << yaml.readAllStandardError().toStdString();

    const auto field = [&](int document, const QString& path) {
        QJsonValue value = documents.at(document);
        for (const QString& key : path.split(u'.')) {
            value = value.toObject().value(key);
        }
        return value.toVariant().toString();
    };
    const QList<std::tuple<int, QString, QString>> expected{
        {0, "apiVersion", "chaos-mesh.org/v1alpha1"},
        {0, "kind", "NetworkChaos"},
        {0, "metadata.name", "veltrane-bad-wi-fi-netem"},
        {0, "spec.action", "netem"},
        {0, "spec.delay.latency", "100ms"},
        {0, "spec.delay.jitter", "20ms"},
        {0, "spec.delay.reorder.reorder", "5"},
        {0, "spec.loss.loss", "2.5"},
        {0, "spec.loss.correlation", "25"},
        {0, "spec.duplicate.duplicate", "1"},
        {1, "metadata.name", "veltrane-bad-wi-fi-bandwidth"},
        {1, "spec.action", "bandwidth"},
        {1, "spec.bandwidth.rate", "2mbit"},
        {1, "spec.bandwidth.limit", "75700"},
    };
    for (const auto& [document, path, value] : expected) {
        EXPECT_EQ(field(document, path), value) << path.toStdString();
    }
    EXPECT_EQ(run({"export", "--format", "networkchaos", "High Latency DNS"}).status, 1);

    // Destinations are the external targets the pods' traffic goes to; a
    // port alone is nothing Chaos Mesh selects.
    ASSERT_EQ(run({"edit", "Bad Wi-Fi!", "--only-to", "api.example.com:443", "--only-to",
                   "10.0.0.0/8", "--only-to", "2001:db8::1"})
                  .status,
              0);
    const QString scoped = run({"export", "--format", "networkchaos", "Bad Wi-Fi!"}).out;
    EXPECT_THAT(scoped.toStdString(),
                HasSubstr("# Chaos Mesh selects no ports: api.example.com:443 is shaped on every "
                          "port.\n"));
    EXPECT_EQ(scoped.count(QStringLiteral("  externalTargets:\n    - \"api.example.com\"\n"
                                          "    - \"10.0.0.0/8\"\n    - \"2001:db8::1\"\n")),
              2);
    ASSERT_EQ(run({"edit", "Bad Wi-Fi!", "--only-to", ":5432"}).status, 0);
    const Outcome portOnly = run({"export", "--format", "networkchaos", "Bad Wi-Fi!"});
    EXPECT_EQ(portOnly.status, 1);
    EXPECT_EQ(portOnly.err, "'Bad Wi-Fi!' cannot be exported as NetworkChaos: Chaos Mesh selects "
                            "traffic by address, not by port alone (:5432)\n");
    // The tc script shapes the profile's destinations alone.
    const Outcome script = run({"export", "--format", "tc", "Bad Wi-Fi!"});
    EXPECT_EQ(script.status, 0);
    EXPECT_THAT(script.out.toStdString(),
                HasSubstr("\n# Only the traffic to and from :5432\n# (when written: :5432); all "
                          "other traffic passes untouched.\n"));
    EXPECT_THAT(script.out.toStdString(), testing::ContainsRegex("tc filter add .*5432"));
}

TEST_F(VeltranectlTest, onlyToLimitsAProfileToDestinationsAndAllTrafficClearsThem) {
    ASSERT_EQ(run({"create", "--name", "API", "--latency", "100ms", "--only-to", "API.example.com",
                   "--only-to", ":443"})
                  .status,
              0);
    EXPECT_EQ(show("API").value("destinations").toArray(), (QJsonArray{"api.example.com", ":443"}));
    EXPECT_EQ(run({"profiles"}).lines().last(),
              "API\t100ms, only to api.example.com, :443\tcustom\tshown");

    // Given again, the list is replaced; other edits leave it as it is.
    ASSERT_EQ(run({"edit", "API", "--only-to", "[2001:db8::1]:8443"}).status, 0);
    ASSERT_EQ(run({"edit", "API", "--latency", "50ms"}).status, 0);
    EXPECT_EQ(show("API").value("destinations").toArray(), QJsonArray{"[2001:db8::1]:8443"});
    ASSERT_EQ(run({"edit", "API", "--all-traffic"}).status, 0);
    EXPECT_FALSE(show("API").contains("destinations"));

    const std::pair<QStringList, const char*> refused[] = {
        {{"edit", "API", "--only-to", "example.com:0"},
         "Applies to: 'example.com:0': a port is a number from 1 to 65535\n"},
        {{"edit", "API", "--only-to", ":443", "--all-traffic"},
         "--only-to, --app and --all-traffic cannot be given together\n"},
        {{"edit", "API", "--only-to", "a.example.com\nb.example.com"},
         "--only-to 'a.example.com\\nb.example.com': one destination each, without line breaks; "
         "repeat --only-to for more\n"},
    };
    for (const auto& [arguments, message] : refused) {
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_EQ(outcome.err, message);
    }
    EXPECT_FALSE(show("API").contains("destinations"));
}
