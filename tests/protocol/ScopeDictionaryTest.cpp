// SPDX-License-Identifier: MIT
#include "ScopeDictionary.h"

#include <QStringList>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

// A name of `length` characters, each two bytes in UTF-8.
QString nameOf(int length) {
    return QString(length, QChar(0xe9));
}

QStringList many(int count) {
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        texts << QStringLiteral("10.0.%1.0/24").arg(i);
    }
    return texts;
}

// What the helper reads, or "! " and why it refused.
std::string read(const QVariantMap& dictionary) {
    QString failure;
    const auto scope = ScopeDictionary::fromWire(dictionary, failure);
    if (!scope) {
        return "! " + failure.toStdString();
    }
    return ScopeDictionary::toWire(*scope)
               .value("destinations")
               .toStringList()
               .join(", ")
               .toStdString() +
           "|" + scope->application + "|" +
           ScopeDictionary::toWire(*scope)
               .value(scope->application.empty() ? "cgroup" : "cgroups")
               .toStringList()
               .join(", ")
               .toStdString();
}

TEST(ScopeDictionaryTest, TheHelperReadsAddressesNetworksPortsAndCgroupsInCanonicalForm) {
    const struct {
        QVariantMap dictionary;
        std::string read;
    } cases[] = {
        {{}, "||"},
        {{{"destinations",
           QStringList{" 10.1.2.3/8", "192.0.2.7:443", ":5432", "[2001:DB8::1]:8443"}},
          {"names", QStringList{"api.example.com"}}},
         "10.0.0.0/8, 192.0.2.7:443, :5432, [2001:db8::1]:8443||"},
        {{{"destinations", many(64)}}, many(64).join(", ").toStdString() + "||"},
        // The longest a user can type: a host name of 253 characters, a port.
        {{{"destinations", QStringList{"10.0.0.1"}}, {"names", QStringList{nameOf(259)}}},
         "10.0.0.1||"},
        {{{"cgroup", QStringLiteral("user.slice/veltrane-run-7.scope")}},
         "||user.slice/veltrane-run-7.scope"},
        // An application, waiting or with the scopes a record kept.
        {{{"application", QStringLiteral("org.gnome.Terminal")}}, "|org.gnome.Terminal|"},
        {{{"application", QStringLiteral("firefox-esr")},
          {"cgroups", QStringList{"app.slice/a-1.scope", "app.slice/b.slice"}}},
         "|firefox-esr|app.slice/a-1.scope, app.slice/b.slice"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(read(each.dictionary), each.read);
    }
}

TEST(ScopeDictionaryTest, TheHelperRefusesWhatItCannotShapeNamingTheEntry) {
    const struct {
        QVariantMap dictionary;
        std::string message;
    } cases[] = {
        {{{"hosts", QStringList{}}}, "Unknown scope key \"hosts\""},
        {{{"destinations", QStringLiteral("10.0.0.1")}},
         "Scope key \"destinations\" must be of type as (list of texts), not s"},
        {{{"cgroup", 7}}, "Scope key \"cgroup\" must be of type s (text), not i"},
        {{{"destinations", QStringList{"10.0.0.1", "api.example.com:443"}}},
         "Destination 'api.example.com:443' is a host name: the helper takes addresses and "
         "networks only"},
        {{{"destinations", QStringList{"10.0.0.1:99999"}}},
         "'10.0.0.1:99999': a port is a number from 1 to 65535"},
        {{{"destinations", many(65)}}, "A scope has at most 64 destinations, not 65"},
        {{{"destinations", QStringList{"10.0.0.1"}}, {"names", QStringList{"a", nameOf(260)}}},
         "Scope key \"names\": a name has at most 259 characters, not 260"},
        {{{"names", QStringList{"api.example.com"}}},
         "A scope with names needs the destinations they stand for"},
        {{{"cgroup", QStringLiteral("../root.slice")}}, "Invalid cgroup path '../root.slice'"},
        {{{"cgroup", QString()}}, "A command's cgroup cannot be empty"},
        {{{"cgroup", QStringLiteral("a.scope")}, {"destinations", QStringList{"10.0.0.1"}}},
         "A throttle's scope is either a command, an application or destinations, not two"},
        {{{"application", QStringLiteral("../evil")}}, "Invalid application id '../evil'"},
        {{{"application", QStringLiteral("a b")}}, "Invalid application id 'a b'"},
        {{{"cgroups", QStringList{"app.slice/a-1.scope"}}},
         "Scope key \"cgroups\" goes with \"application\" alone"},
        {{{"application", QStringLiteral("editor")}, {"cgroups", QStringList{"a", "a"}}},
         "A cgroup is listed twice"},
        {{{"application", QStringLiteral("editor")}, {"cgroups", QStringList{"a/../b"}}},
         "Invalid cgroup path 'a/../b'"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(read(each.dictionary), "! " + each.message);
    }
}

TEST(ScopeDictionaryTest, ClientsReadTheStateLenientlyAndTheWholeMachineIsEmpty) {
    EXPECT_TRUE(ScopeDictionary::toWire(ThrottleScope{}).isEmpty());
    const QVariantMap published{{"destinations", QStringList{"10.0.0.0/8", "bogus/"}},
                                {"names", QStringList{"intranet"}},
                                {"addresses", QStringList{"10.0.0.0/8"}},
                                {"later", 1}};
    const ThrottleScope scope = ScopeDictionary::readWire(published);
    ASSERT_EQ(scope.destinations.size(), 1u);
    EXPECT_EQ(scope.destinations.front().text(), "10.0.0.0/8");
    EXPECT_EQ(scope.names, std::vector<std::string>{"intranet"});
    EXPECT_EQ(scope.kind(), ThrottleScope::Kind::destinations);
}

} // namespace
