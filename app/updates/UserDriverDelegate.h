// SPDX-License-Identifier: MIT
#pragma once

#include "Appcast.h"

// How an update check began.
enum class UpdateCheck { userInitiated, scheduled };

// What the application decides about presenting updates; the user driver
// asks at each step of a session.
class UserDriverDelegate {
public:
    virtual ~UserDriverDelegate() = default;

    // Whether an update found by a scheduled check may wait for the user
    // instead of its window coming up unasked.
    virtual bool supportsGentleScheduledUpdateReminders() const = 0;
    // For a scheduled check's update: whether the driver shows it now.
    virtual bool shouldHandleShowingScheduledUpdate(const AppcastItem& update,
                                                    bool immediateFocus) const = 0;
    // Before an update is shown (handleShowing true) or left waiting (false).
    virtual void willHandleShowingUpdate(bool handleShowing, const AppcastItem& update,
                                         UpdateCheck check) = 0;
    // The user has the update in front of them.
    virtual void didReceiveUserAttention(const AppcastItem& update) = 0;
    virtual void willFinishUpdateSession() = 0;
};
