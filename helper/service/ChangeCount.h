// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <functional>

// Numbers the engine's changes, so that removing one owner's throttling can
// tell whether a newer change replaced it meanwhile (HoldRegistry asks when
// a holder leaves or an enable came too late). Lives with the engine's work:
// touched only by the thread that runs it, in the order its changes run.
class ChangeCount final {
public:
    // Makes a change with `attempt`, which returns whether it succeeded, and
    // counts it. Every change counts from its start, an enable as much as a
    // disable, whether it then succeeds, fails or is refused.
    bool make(const std::function<bool()>& attempt) {
        ++m_last;
        return attempt();
    }

    // The number of the last change made.
    quint64 last() const { return m_last; }
    // Whether no change was made after `change`.
    bool isLast(quint64 change) const { return m_last == change; }

private:
    quint64 m_last = 0;
};
