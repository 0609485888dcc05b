// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QString>

#include <optional>

// What became of one change asked of ProfileManager (create, save, delete,
// duplicate, a visibility change, a restore):
//
// - done: made and written; the store's lists show it, along with whatever
//   other processes changed in the same file meanwhile.
// - refused: not made, and nothing written, because it makes no sense as
//   asked (a built-in profile given to saveProfile, an id that is already
//   taken, a profile that is no longer there). `message` says why.
// - failed: the file could not be locked or written. As with any change the
//   store cannot write, it is kept in memory until the next load; `message`
//   says what went wrong, for the user.
//
// `profile` is the profile the change produced, as it now stands: the copy
// a duplicate made, the profile created or saved, the profile with its new
// visibility. It is absent for deletions, restores and refusals.
struct ProfileChange {
    enum class Outcome { done, refused, failed };

    Outcome outcome = Outcome::done;
    QString message;
    std::optional<ThrottleProfile> profile;

    bool ok() const { return outcome == Outcome::done; }

    static ProfileChange done(std::optional<ThrottleProfile> profile = std::nullopt) {
        return {Outcome::done, {}, std::move(profile)};
    }
    static ProfileChange refused(QString why) { return {Outcome::refused, std::move(why), {}}; }
    static ProfileChange failed(QString why,
                                std::optional<ThrottleProfile> profile = std::nullopt) {
        return {Outcome::failed, std::move(why), std::move(profile)};
    }
};
