// SPDX-License-Identifier: MIT
#include "CgroupMembers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CgroupMembersTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(cgroups() + "/user.slice/run.scope"));
        process("100", "1000\t1000\t1000\t1000");
        process("101", "1000\t0\t1000\t1000");
        process("102", "1001\t1001\t1001\t1001");
    }
    QString cgroups() const { return folder.filePath("cgroup"); }
    static void write(const QString& path, const QByteArray& text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void process(const char* pid, const char* uids) {
        write(folder.filePath(QStringLiteral("proc/%1/status").arg(pid)),
              QByteArray("Name:\tsh\nUid:\t") + uids + "\nGid:\t0\t0\t0\t0\n");
    }
    // Empty when allowed, else the message, marked when it is a refusal of
    // who asks.
    std::string refusal(const QByteArray& procs, uint uid,
                        const char* path = "user.slice/run.scope") {
        write(cgroups() + "/user.slice/run.scope/cgroup.procs", procs);
        const auto refused = cgroupRefusal(cgroups().toStdString(),
                                           folder.filePath("proc").toStdString(), path, uid);
        if (!refused) {
            return "";
        }
        return (refused->notAuthorized ? "denied: " : "invalid: ") + refused->message.toStdString();
    }

    QTemporaryDir folder;
};

TEST_F(CgroupMembersTest, OnlyACgroupOfTheCallersOwnProcessesIsTakenExceptByRoot) {
    EXPECT_EQ(refusal("100\n", 1000), "");
    // A process that ended since it was listed is not in the way; an empty
    // cgroup (its command not started yet) neither.
    EXPECT_EQ(refusal("100\n999\n", 1000), "");
    EXPECT_EQ(refusal("", 1000), "");
    EXPECT_EQ(refusal("100\n102\n", 1000),
              "denied: The cgroup user.slice/run.scope holds process 102, which is not yours");
    // A set-user-id program runs as someone else, even when started by the caller.
    EXPECT_EQ(refusal("101\n", 1000),
              "denied: The cgroup user.slice/run.scope holds process 101, which is not yours");
    EXPECT_EQ(refusal("100\n101\n102\n", 0), "");
}

TEST_F(CgroupMembersTest, ACgroupThatIsNotThereOrNotACgroupIsRefused) {
    EXPECT_EQ(refusal("100\n", 1000, "user.slice/gone.scope"),
              "invalid: There is no cgroup user.slice/gone.scope");
    EXPECT_EQ(refusal("100\n", 0, "user.slice/gone.scope"),
              "invalid: There is no cgroup user.slice/gone.scope");
    // A link could lead anywhere: it is no cgroup of ours.
    ASSERT_TRUE(QFile::link(cgroups() + "/user.slice/run.scope", cgroups() + "/link.scope"));
    EXPECT_EQ(refusal("100\n", 1000, "link.scope"), "invalid: There is no cgroup link.scope");
    EXPECT_EQ(refusal("../102\n", 1000),
              "invalid: The cgroup user.slice/run.scope lists no processes");
}

} // namespace
