// SPDX-License-Identifier: MIT
#include "ApplicationPickerModel.h"

#include "UserManagerSession.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QStringList shown(const ApplicationPickerModel& picker) {
    QStringList rows;
    for (int row = 0; row < picker.rowCount(); ++row) {
        const QModelIndex index = picker.index(row);
        rows << index.data(ApplicationPickerModel::NameRole).toString() + " | " +
                    index.data(ApplicationPickerModel::DetailRole).toString();
    }
    return rows;
}

// Opened, it lists what runs, searched by name or desktop id; a pick names
// the application; closed, it forgets the search and follows nothing.
TEST(ApplicationPickerModelTest, OpenItListsSearchesAndPicksTheRunningApplications) {
    UserManagerSession session;
    session.install(QStringLiteral("org.gnome.Terminal"), "Terminal", "utilities-terminal");
    session.install(QStringLiteral("org.example.Editor"), "Editor");
    session.manager.addUnit(QStringLiteral("app-gnome-org.gnome.Terminal-1.scope"), {});
    session.manager.addUnit(QStringLiteral("app-gnome-org.example.Editor-2.scope"), {});
    session.manager.addUnit(QStringLiteral("app-flatpak-org.example.Editor-3.scope"), {});
    ApplicationPickerModel picker(session.running);
    EXPECT_TRUE(picker.notice().isEmpty());
    picker.open();
    EXPECT_TRUE(picker.isOpen());
    ASSERT_TRUE(waitUntil([&] { return picker.rowCount() == 2; }));
    EXPECT_EQ(shown(picker), (QStringList{"Editor | org.example.Editor · 2 instances",
                                          "Terminal | org.gnome.Terminal"}));
    EXPECT_EQ(picker.index(1).data(ApplicationPickerModel::IconNameRole), "utilities-terminal");

    picker.setSearchText(QStringLiteral("gnome"));
    EXPECT_EQ(shown(picker), QStringList{"Terminal | org.gnome.Terminal"});
    QSignalSpy picked(&picker, &ApplicationPickerModel::picked);
    picker.pick(0);
    picker.pick(1);
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked.first(), (QVariantList{"org.gnome.Terminal", "Terminal"}));
    picker.setSearchText(QStringLiteral("zzz"));
    EXPECT_EQ(picker.notice(), "No running application matches \u201czzz\u201d.");

    // A new window of its own appears while the list is open.
    picker.setSearchText(QString());
    session.manager.addUnit(QStringLiteral("app-gnome-org.gnome.Terminal-4.scope"), {});
    EXPECT_TRUE(waitUntil(
        [&] { return shown(picker).contains("Terminal | org.gnome.Terminal · 2 instances"); }));

    picker.close();
    EXPECT_FALSE(picker.isOpen());
    EXPECT_EQ(picker.rowCount(), 0);
    EXPECT_TRUE(picker.searchText().isEmpty());
}

// Where no application has a scope of its own, one line says why and
// launching one throttled is offered instead; a missing manager is named.
TEST(ApplicationPickerModelTest, WithoutApplicationScopesOneLineSaysWhy) {
    UserManagerSession session;
    ApplicationPickerModel picker(session.running);
    picker.open();
    ASSERT_TRUE(waitUntil([&] { return !picker.isLoading(); }));
    EXPECT_EQ(picker.notice(), "No application runs in a scope of its own.");
    EXPECT_FALSE(picker.offersLaunch());
    picker.close();

    session.manager.leave();
    picker.open();
    ASSERT_TRUE(waitUntil([&] { return !picker.isLoading(); }));
    EXPECT_TRUE(picker.notice().startsWith("systemd's user manager does not run"))
        << picker.notice().toStdString();
}

} // namespace
