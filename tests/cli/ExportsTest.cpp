// SPDX-License-Identifier: MIT
#include "NetworkChaosManifest.h"
#include "TrafficControlScript.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ThrottleParameters threeG() {
    return {97'500, 41'250, 100, 1.0, 0};
}

// A name that ends a comment and runs a command wherever its line break
// is written out as it is.
QString hostile(const QString& marker) {
    return QStringLiteral("x\ntouch ") + marker + QStringLiteral(" #");
}

TEST(ExportsTest, TheScriptsHeaderStaysOneCommentWhateverItsTitleHolds) {
    QTemporaryDir folder;
    const QString marker = folder.filePath("ran");
    const std::string script =
        TrafficControlScript::write(threeG(), hostile(marker).toStdString() + "\x1b\x7f");
    const QString text = QString::fromStdString(script);
    EXPECT_EQ(text.section(u'\n', 1, 1), "# x touch " + marker + " #  ");

    // Without an interface the script only says how to run it.
    QFile file(folder.filePath("shape.sh"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(script));
    file.close();
    QProcess shell;
    shell.start("/bin/sh", {file.fileName()});
    ASSERT_TRUE(shell.waitForFinished());
    EXPECT_EQ(shell.exitCode(), 2);
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(ExportsTest, TheManifestsCommentShowsANameAsTheTerminalOutputDoes) {
    const QString manifest =
        NetworkChaosManifest::write(threeG(), QStringLiteral("x\nkind: Pod\u202e"));
    EXPECT_EQ(manifest.section(u'\n', 0, 0),
              "# Veltrane profile \"x\\nkind: Pod\\u202e\" as Chaos Mesh NetworkChaos.");
    for (const QString& line : manifest.split(u'\n')) {
        EXPECT_NE(line, "kind: Pod");
    }
}

} // namespace
