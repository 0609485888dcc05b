// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"
#include "ThrottleScope.h"

#include <QString>
#include <QVariantMap>

#include <map>
#include <optional>
#include <string>
#include <vector>

class Logger;

// Who switched each throttle in force on, with what, on what scope, and
// whether it is held. Kept on the main thread and written to a root-only file under /run
// after every change, so that a hold outlives a daemon that is killed; not
// flushed to disk, as a reboot ends the shaping and the file together.
class ThrottleOwnership final {
public:
    struct Owner {
        // The unique bus name of the connection that switched it on.
        QString busName;
        // From the bus's credentials of that connection.
        uint uid = 0;
        uint pid = 0;
        QString description;
        qint64 sinceMsecsSinceEpoch = 0;
        // Removed when the connection closes.
        bool held = false;

        // How the log names it: the description, else the process.
        std::string name() const;
        QVariantMap toWire() const;
    };

    struct Record {
        Owner owner;
        ThrottleParameters parameters;
        ThrottleScope scope = {};
        // Played from `scheduleStartedAt` (milliseconds since 1970 UTC), so
        // that a helper that restores the throttle resumes it where the
        // clock says it stands.
        ThrottleSchedule schedule = {};
        qint64 scheduleStartedAt = 0;
    };

    ThrottleOwnership(const Logger& logger, std::string path);

    // By the engine's throttle id, oldest first.
    const std::map<quint64, Record>& throttles() const { return m_throttles; }
    const Record* find(quint64 id) const;
    // The throttle the state's single configuration and owner describe: the
    // whole machine's when there is one, else the newest.
    const Record* principal() const;
    std::optional<quint64> principalId() const;
    // The ids of the throttles `busName` holds.
    std::vector<quint64> heldBy(const QString& busName) const;

    void take(quint64 id, Record record);
    // The scopes in force of application throttle `id`.
    void setCgroups(quint64 id, std::vector<std::string> cgroups);
    // Forgets the owners of throttles no longer in force.
    void keepOnly(const std::vector<quint64>& inForce);
    void clear();
    // Its throttles stay, no longer held. False when `busName` holds none.
    bool release(const QString& busName);
    // For a stop that leaves the holds to the next process: forgets the
    // throttles no one holds.
    void keepHeldOnly();

    // What an earlier process of the daemon left on file, by id; nothing
    // when there is none or it cannot be trusted (a link, bad contents).
    // `lastId`, when given, gets the last id any earlier process gave (as
    // far as the file tells), and this record keeps it.
    std::map<quint64, Record> stored(quint64* lastId = nullptr);

private:
    void save() const noexcept;

    const Logger& m_logger;
    const std::string m_path;
    std::map<quint64, Record> m_throttles;
    // The highest id taken, kept on file with the throttles, and while none
    // is on.
    quint64 m_lastId = 0;
};

// Descriptions are shown and logged: a line of at most
// HelperProtocol::kMaxDescriptionLength characters.
bool isAcceptableDescription(const QString& description);
