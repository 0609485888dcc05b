// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QList>
#include <QObject>

class BuiltInProfiles;
class CustomProfilesFile;
class UserDefaults;

// Keeps the store's lists in step with the files they come from: asks for
// the first load once the event loop runs, then follows the settings and
// the custom profiles file, and reads again what another process (a second
// application, veltranectl) changed there. Lives on the store's thread.
class ProfileReloads final : public QObject {
    Q_OBJECT

public:
    ProfileReloads(UserDefaults& defaults, const BuiltInProfiles& builtIns,
                   CustomProfilesFile& customFile, QObject* parent = nullptr);

signals:
    // Queued from the constructor, so that construction stays cheap and
    // views built right after the store see it fill in through its change
    // signals. The file is followed from right after.
    void loadDue();
    void builtInProfilesReread(const QList<ThrottleProfile>& profiles);
    void customProfilesReread(const QList<ThrottleProfile>& profiles);
};
