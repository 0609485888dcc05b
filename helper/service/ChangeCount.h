// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// Numbers the enables that put an owner's throttling in force, so that
// removing one owner's throttling can tell whether another owner's replaced
// it meanwhile (HoldRegistry asks when a holder leaves or an enable came too
// late). An enable that fails or is refused replaced nothing: whatever is
// in force is still its owner's, and so is the hold on it. Disables need no
// number: removing what is gone already removes nothing. Lives with the
// engine's work: touched only by the thread that runs it, in order.
class ChangeCount final {
public:
    void countEnable() { ++m_last; }

    // The number of the last enable that succeeded.
    quint64 last() const { return m_last; }
    // Whether no enable succeeded after `change`.
    bool isLast(quint64 change) const { return m_last == change; }

private:
    quint64 m_last = 0;
};
