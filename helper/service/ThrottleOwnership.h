// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"

#include <QString>
#include <QVariantMap>

#include <optional>
#include <string>

class Logger;

// Who switched the throttling in force on, with what, and whether it is
// held. Kept on the main thread and written to a root-only file under /run
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
    };

    ThrottleOwnership(const Logger& logger, std::string path);

    const std::optional<Record>& current() const { return m_current; }
    bool isHeldBy(const QString& busName) const;

    // The engine's change that made the current owner's throttling, so that
    // a later removal can tell whether it is still that throttling.
    quint64 change() const { return m_change; }

    void take(Record record, quint64 change);
    void clear();
    // Throttling stays, no longer held. False when `busName` is not the holder.
    bool release(const QString& busName);

    // What an earlier process of the daemon left on file; nothing when there
    // is none or it cannot be trusted (a link, bad contents).
    std::optional<Record> stored() const;

private:
    void save() const noexcept;

    const Logger& m_logger;
    const std::string m_path;
    std::optional<Record> m_current;
    quint64 m_change = 0;
};

// Descriptions are shown and logged: a line of at most
// HelperProtocol::kMaxDescriptionLength characters.
bool isAcceptableDescription(const QString& description);
