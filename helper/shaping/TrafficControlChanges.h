// SPDX-License-Identifier: MIT
#pragma once

#include "ChangeRecord.h"
#include "ShapingPlan.h"
#include "Uplinks.h"

#include <string>
#include <vector>

class Logger;
class TrafficControlTools;
struct TrafficControlStep;

// What shaping changes, on record: each change is written to the change
// record before it is made, so that this process or the next undoes exactly
// what was made, and nothing another program made.
class TrafficControlChanges final {
public:
    using Entry = ChangeRecord::Entry;

    TrafficControlChanges(const Logger& logger, const TrafficControlTools& tools,
                          std::string recordPath);

    // Shapes `uplink` as `plan` says. Throws as TrafficControlTools::run, and
    // fileError when the record cannot be written; what was made until then
    // stays on record.
    void shape(const Uplink& uplink, const ShapingPlan& plan);

    // What the record lists. Throws fileError when it cannot be read.
    std::vector<Entry> recorded() const;
    // Undoes `recorded`, the whole record as recorded() read it, newest first
    // and carrying on past failing tools. What could not be undone stays on
    // record, and then it throws cleanupIncomplete naming each failure.
    // Throws fileError when the record cannot be updated.
    void undo(const std::vector<Entry>& recorded);
    // After an enable failed: undoes everything on record, and logs what it
    // could not.
    void rollBack();
    // Undoes what the record lists for one interface and forgets what it
    // removed; logs what it could not.
    void undoInterface(const std::string& interface) noexcept;

    bool isEmpty() const { return m_record.isEmpty(); }
    void removeTemporaryLeftovers() noexcept { m_record.removeTemporaryLeftovers(); }

private:
    // Records `entry`, then runs the step that makes the change; the entry
    // is dropped again when the step fails, since nothing was made.
    void make(const Entry& entry, const TrafficControlStep& step);
    // Returns the entries it could not undo, in their order, and adds why to
    // `failures`.
    std::vector<Entry> undoEach(const std::vector<Entry>& entries,
                                std::vector<std::string>& failures) const noexcept;

    const Logger& m_logger;
    const TrafficControlTools& m_tools;
    ChangeRecord m_record;
};
