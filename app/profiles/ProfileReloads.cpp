// SPDX-License-Identifier: MIT
#include "ProfileReloads.h"

#include "BuiltInProfiles.h"
#include "CustomProfilesFile.h"
#include "SharedFile.h"
#include "UserDefaults.h"

ProfileReloads::ProfileReloads(UserDefaults& defaults, const BuiltInProfiles& builtIns,
                               CustomProfilesFile& customFile, QObject* parent)
    : QObject(parent) {
    connect(&defaults, &UserDefaults::reloaded, this, [this, &builtIns](const QStringList& keys) {
        if (BuiltInProfiles::dependOnAny(keys)) {
            emit builtInProfilesReread(builtIns.current());
        }
    });
    SharedFile* file = customFile.sharedFile();
    if (file) {
        connect(file, &SharedFile::changed, this,
                [this, &customFile] { emit customProfilesReread(customFile.read()); });
    }
    QMetaObject::invokeMethod(
        this,
        [this, file] {
            emit loadDue();
            if (file) {
                file->watch();
            }
        },
        Qt::QueuedConnection);
}
