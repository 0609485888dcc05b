// SPDX-License-Identifier: MIT
#include "CgroupMembers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class CgroupMembersTest : public testing::Test {
protected:
    void SetUp() override {
        const QString scope = cgroups() + "/user.slice/run.scope";
        ASSERT_TRUE(QDir().mkpath(scope));
        // The caller owns its cgroup's folder, as a delegated one is owned.
        if (::getuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(scope).constData(), me, me), 0);
        }
        const QByteArray mine = QByteArray::number(me);
        const QByteArray other = QByteArray::number(me + 1);
        process("100", mine + "\t" + mine + "\t" + mine + "\t" + mine);
        process("101", mine + "\t0\t" + mine + "\t" + mine);
        process("102", other + "\t" + other + "\t" + other + "\t" + other);
    }
    QString cgroups() const { return folder.filePath("cgroup"); }
    static void write(const QString& path, const QByteArray& text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void process(const char* pid, const QByteArray& uids) {
        write(folder.filePath(QStringLiteral("proc/%1/status").arg(pid)),
              "Name:\tsh\nUid:\t" + uids + "\nGid:\t0\t0\t0\t0\n");
    }
    // Empty when allowed, else the message, marked when it is a refusal of
    // who asks.
    std::string refusal(const QByteArray& procs, uint uid,
                        const char* path = "user.slice/run.scope") {
        write(cgroups() + "/user.slice/run.scope/cgroup.procs", procs);
        // Plain folders imitate the hierarchy: only its file system is not checked.
        const auto refused = cgroupRefusal({cgroups().toStdString(), false},
                                           folder.filePath("proc").toStdString(), path, uid);
        if (!refused) {
            return "";
        }
        return (refused->notAuthorized ? "denied: " : "invalid: ") + refused->message.toStdString();
    }

    QTemporaryDir folder;
    // The caller that is not root.
    const uint me = ::getuid() == 0 ? 1000 : ::getuid();
};

TEST_F(CgroupMembersTest, OnlyACgroupOfTheCallersOwnProcessesIsTakenExceptByRoot) {
    EXPECT_EQ(refusal("100\n", me), "");
    // A process that ended since it was listed is not in the way; an empty
    // cgroup (its command not started yet) neither.
    EXPECT_EQ(refusal("100\n999\n", me), "");
    EXPECT_EQ(refusal("", me), "");
    EXPECT_EQ(refusal("100\n102\n", me),
              "denied: The cgroup user.slice/run.scope holds process 102, which is not yours");
    // A set-user-id program runs as someone else, even when started by the caller.
    EXPECT_EQ(refusal("101\n", me),
              "denied: The cgroup user.slice/run.scope holds process 101, which is not yours");
    EXPECT_EQ(refusal("100\n101\n102\n", 0), "");
    // Processes the daemon cannot see prove nothing: a cgroup whose folder
    // another user owns is refused whatever it lists.
    if (::getuid() == 0) {
        ASSERT_TRUE(QDir().mkpath(cgroups() + "/system.slice/cron.scope"));
        write(cgroups() + "/system.slice/cron.scope/cgroup.procs", "999\n");
        EXPECT_EQ(refusal("", me, "system.slice/cron.scope"),
                  "denied: The cgroup system.slice/cron.scope is not yours");
    }
}

TEST_F(CgroupMembersTest, ACgroupThatIsNotThereOrNotACgroupIsRefused) {
    EXPECT_EQ(refusal("100\n", me, "user.slice/gone.scope"),
              "invalid: There is no cgroup user.slice/gone.scope");
    EXPECT_EQ(refusal("100\n", 0, "user.slice/gone.scope"),
              "invalid: There is no cgroup user.slice/gone.scope");
    // A link could lead anywhere: it is no cgroup of ours.
    ASSERT_TRUE(QFile::link(cgroups() + "/user.slice/run.scope", cgroups() + "/link.scope"));
    EXPECT_EQ(refusal("100\n", me, "link.scope"), "invalid: There is no cgroup link.scope");
    EXPECT_EQ(refusal("../102\n", me),
              "invalid: The cgroup user.slice/run.scope lists no processes");
}

// On a hybrid host (cgroup v1 at /sys/fs/cgroup, v2 at "unified" in it) a
// folder the user owns on a v1 hierarchy marks no socket, and is no command's.
TEST_F(CgroupMembersTest, OnlyACgroupOnTheVersionTwoHierarchyIsTaken) {
    write(cgroups() + "/user.slice/run.scope/cgroup.procs", "100\n");
    const auto refused =
        cgroupRefusal({cgroups().toStdString()}, folder.filePath("proc").toStdString(),
                      "user.slice/run.scope", 0);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message.toStdString(),
              "The cgroup user.slice/run.scope is not on the cgroup v2 hierarchy");

    // Where the host mounts the hierarchy, at its mount point or beside v1.
    const CgroupHierarchy host = CgroupHierarchy::of("/sys/fs/cgroup");
    if (!CgroupHierarchy::isOnCgroup2(host.root)) {
        GTEST_SKIP() << "no cgroup v2 hierarchy on this host";
    }
    EXPECT_TRUE(host.root == "/sys/fs/cgroup" || host.root == "/sys/fs/cgroup/unified")
        << host.root;
}

} // namespace
