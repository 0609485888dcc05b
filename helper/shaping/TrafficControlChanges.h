// SPDX-License-Identifier: MIT
#pragma once

#include "ChangeRecord.h"
#include "ShapingLayout.h"
#include "Uplinks.h"

#include <string>
#include <vector>

class Logger;
class TrafficControlTools;
struct TrafficControlStep;

// What shaping changes, on record: each change is written to the change
// record before it is made, so that this process or the next undoes exactly
// what was made, and nothing another program made.
//
// A shaping is made in two exchanges with the kernel, the IFB devices and
// then tc's steps, and all of its changes are recorded before the first. A
// process killed in between leaves entries of things not yet made; undoing
// those finds them gone, which counts as done.
class TrafficControlChanges final {
public:
    using Entry = ChangeRecord::Entry;

    TrafficControlChanges(const Logger& logger, const TrafficControlTools& tools,
                          std::string recordPath);

    // Shapes `uplinks` as `layout` says. Throws the refused step's failure,
    // the errors of TrafficControlTools::runAll, and fileError when the
    // record cannot be written. What a refused step and those after it would
    // have made leaves the record again; after any other error all of it
    // stays, since any of it may have been made.
    void shape(const std::vector<Uplink>& uplinks, const ShapingLayout& layout);
    // Turns `before`, in force on `uplinks`, into `after`. What it adds and
    // removes (classes, filters, leaves) lives under the qdiscs on record and
    // goes with them; the one table that marks commands' packets goes on
    // record when it is made. Throws as shape() does.
    void change(const std::vector<Uplink>& uplinks, const ShapingLayout& before,
                const ShapingLayout& after);

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
    void removeTemporaryLeftovers() noexcept;

private:
    // Whether the table that marks commands' packets is on record.
    bool listsMarking() const;
    // Takes the last listing of each of `unmade` off the record: the tool
    // said no, so nothing was made, and undoing it could remove what another
    // program made in the meantime.
    void forgetUnmade(const std::vector<Entry>& unmade) noexcept;
    // Records the entries of `recorded` before it runs `steps`; on a refusal
    // it takes back what the run did not make, then throws the refusal.
    void runRecorded(const std::vector<TrafficControlStep>& steps,
                     const std::vector<TrafficControlStep>& recorded);
    // Returns the entries it could not undo, in their order, and adds why to
    // `failures`, newest first.
    std::vector<Entry> undoEach(const std::vector<Entry>& entries,
                                std::vector<std::string>& failures) const noexcept;

    const Logger& m_logger;
    const TrafficControlTools& m_tools;
    ChangeRecord m_record;
};
