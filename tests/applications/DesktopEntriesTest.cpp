// SPDX-License-Identifier: MIT
#include "DesktopEntries.h"

#include "DesktopExec.h"
#include "WriteFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray application(const QByteArray& name, const QByteArray& more = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=run\n" + more;
}

QStringList namesOf(const QList<DesktopEntry>& entries) {
    QStringList names;
    for (const DesktopEntry& entry : entries) {
        names << entry.name;
    }
    return names;
}

TEST(DesktopEntriesTest, TheEntryGroupIsReadWithItsEscapesAndTheNameOfTheLocale) {
    const QByteArray text = R"(# Name=Commented out
[Desktop Entry]
Type=Application
Name=Files
Name[de]=Dateien
Name[de_DE]=Dateien (Deutschland)
Name[sr@latin]=Datoteke
Icon = org.example.Files
Exec=files\s--tab\t"a\\\\b" %U
NoDisplay=true

[Desktop Action window]
Name=New Window
Exec=other
)";
    const DesktopEntry german = DesktopEntry::parse(text, QStringLiteral("de_DE.UTF-8"));
    EXPECT_EQ(german.type, QStringLiteral("Application"));
    EXPECT_EQ(german.name, QStringLiteral("Dateien (Deutschland)"));
    EXPECT_EQ(german.icon, QStringLiteral("org.example.Files"));
    EXPECT_EQ(german.exec, QStringLiteral("files --tab\t\"a\\\\b\" %U"));
    EXPECT_TRUE(german.noDisplay);
    EXPECT_FALSE(german.hidden);
    EXPECT_EQ(DesktopEntry::parse(text, QStringLiteral("de_AT")).name, QStringLiteral("Dateien"));
    EXPECT_EQ(DesktopEntry::parse(text, QStringLiteral("sr_RS@latin")).name,
              QStringLiteral("Datoteke"));
    EXPECT_EQ(DesktopEntry::parse(text, QStringLiteral("fr_FR")).name, QStringLiteral("Files"));
}

TEST(DesktopEntriesTest, TheFirstFolderWinsAndAnIdsDashesMayBeSubfolders) {
    QTemporaryDir root;
    const QString user = root.filePath(QStringLiteral("user"));
    const QString system = root.filePath(QStringLiteral("system"));
    writeFile(system + QStringLiteral("/org.example.Mail.desktop"), application("Mail"));
    writeFile(user + QStringLiteral("/org.example.Mail.desktop"), application("My Mail"));
    writeFile(system + QStringLiteral("/kde4/konqueror.desktop"), application("Konqueror"));
    writeFile(system + QStringLiteral("/vendor/sub/tool-x.desktop"), application("Tool X"));
    writeFile(root.filePath(QStringLiteral("secret.desktop")), application("Secret"));
    const DesktopEntries entries({user, system}, QStringLiteral("C"));

    const std::optional<DesktopEntry> mail = entries.find(QStringLiteral("org.example.Mail"));
    ASSERT_TRUE(mail.has_value());
    EXPECT_EQ(mail->name, QStringLiteral("My Mail"));
    EXPECT_EQ(mail->path, user + QStringLiteral("/org.example.Mail.desktop"));
    EXPECT_EQ(entries.find(QStringLiteral("kde4-konqueror")).value_or(DesktopEntry()).name,
              QStringLiteral("Konqueror"));
    EXPECT_EQ(entries.find(QStringLiteral("vendor-sub-tool-x")).value_or(DesktopEntry()).name,
              QStringLiteral("Tool X"));
    EXPECT_EQ(entries.find(QStringLiteral("..-secret")), std::nullopt);
    EXPECT_EQ(entries.find(QStringLiteral("missing")), std::nullopt);
}

TEST(DesktopEntriesTest, InstalledApplicationsAreTheWinningEntriesThatMenusShow) {
    QTemporaryDir root;
    const QString user = root.filePath(QStringLiteral("user"));
    const QString system = root.filePath(QStringLiteral("system"));
    writeFile(system + QStringLiteral("/editor.desktop"), application("editor"));
    writeFile(user + QStringLiteral("/Zed.desktop"), application("Zed"));
    writeFile(system + QStringLiteral("/kde4/Archiver.desktop"), application("archiver"));
    // The user deleted the system's browser.
    writeFile(system + QStringLiteral("/browser.desktop"), application("Browser"));
    writeFile(user + QStringLiteral("/browser.desktop"), application("Browser", "Hidden=true\n"));
    writeFile(system + QStringLiteral("/helper.desktop"),
              application("Helper", "NoDisplay=true\n"));
    writeFile(system + QStringLiteral("/site.desktop"), "[Desktop Entry]\nType=Link\nName=Site\n");
    writeFile(system + QStringLiteral("/nothing.desktop"),
              "[Desktop Entry]\nType=Application\nName=Nothing\n");

    const QList<DesktopEntry> installed =
        DesktopEntries({user, system}, QStringLiteral("C")).installed();
    EXPECT_EQ(namesOf(installed), QStringList({QStringLiteral("archiver"), QStringLiteral("editor"),
                                               QStringLiteral("Zed")}));
    EXPECT_EQ(installed.value(0).id, QStringLiteral("kde4-Archiver"));
}

TEST(DesktopEntriesTest, TheFoldersFollowTheBaseDirectoryVariablesOrTheirDefaults) {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HOME"), QStringLiteral("/home/u"));
    EXPECT_EQ(DesktopEntries::standardFolders(environment),
              QStringList({QStringLiteral("/home/u/.local/share/applications"),
                           QStringLiteral("/usr/local/share/applications"),
                           QStringLiteral("/usr/share/applications")}));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_DATA_DIRS"),
                       QStringLiteral("relative:/opt/share::/usr/share"));
    EXPECT_EQ(DesktopEntries::standardFolders(environment),
              QStringList({QStringLiteral("/data/applications"),
                           QStringLiteral("/opt/share/applications"),
                           QStringLiteral("/usr/share/applications")}));
}

TEST(DesktopExecTest, TheCommandLineIsSplitByItsQuotingWithItsFieldCodesFilledIn) {
    DesktopEntry entry;
    entry.name = QStringLiteral("Files");
    entry.icon = QStringLiteral("files-icon");
    entry.path = QStringLiteral("/apps/files.desktop");
    const struct {
        const char* exec;
        QStringList arguments;
    } lines[] = {
        {"files %U", {"files"}},
        {"files --new-window %u --class=%c", {"files", "--new-window", "--class=Files"}},
        {R"("/opt/my app/run" "say \"hi\" \$HOME \\ \`x\`")",
         {"/opt/my app/run", R"(say "hi" $HOME \ `x`)"}},
        {"run %i --from %k 100%%",
         {"run", "--icon", "files-icon", "--from", "/apps/files.desktop", "100%"}},
        {"run --url=%u %F %d", {"run", "--url="}},
        {R"(run "" "%U")", {"run", "", "%U"}},
        {"  spaced \t out  ", {"spaced", "out"}},
        {R"(run "unterminated)", {}},
        {"%F", {}},
    };
    for (const auto& line : lines) {
        entry.exec = QString::fromUtf8(line.exec);
        EXPECT_EQ(DesktopExec::arguments(entry), line.arguments) << line.exec;
    }
}

} // namespace
