// SPDX-License-Identifier: MIT
#include "SharedFile.h"

#include "FileLock.h"
#include "LinkSafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include <chrono>

namespace {

// Long enough to see an atomic replacement (a new file, then a rename) as
// one change, short enough that a running application follows within a
// fraction of a second.
constexpr std::chrono::milliseconds kSettleTime{100};

SharedFile::Contents readContents(const QString& path) {
    LinkSafeFile::Contents contents = LinkSafeFile::read(path, SharedFile::kMaxSize);
    using Status = LinkSafeFile::Contents::Status;
    return {contents.status != Status::missing, std::move(contents.bytes),
            std::move(contents.error), contents.status == Status::tooLarge};
}

} // namespace

SharedFile::SharedFile(QString path, QObject* parent)
    : QObject(parent)
    , m_path(std::move(path)) {
    m_settling.setSingleShot(true);
    m_settling.setInterval(kSettleTime);
    connect(&m_settling, &QTimer::timeout, this, &SharedFile::settle);
}

SharedFile::~SharedFile() = default;

SharedFile::Contents SharedFile::read() {
    Contents contents = readContents(m_path);
    m_known = contents;
    return contents;
}

SharedFile::Update SharedFile::update(const Edit& edit, QString* error,
                                      std::chrono::milliseconds lockWait) {
    const auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return Update::failed;
    };
    if (!QDir().mkpath(QFileInfo(m_path).path())) {
        return fail(QStringLiteral("Cannot create the folder of ") + m_path);
    }
    const FileLock lock(m_path + QStringLiteral(".lock"), lockWait);
    if (!lock.isLocked()) {
        return fail(lock.errorString());
    }
    const Contents current = read();
    if (current.exists && !current.error.isEmpty()) {
        return fail(QStringLiteral("Cannot read %1: %2").arg(m_path, current.error));
    }
    const std::optional<QByteArray> replacement = edit(current);
    if (!replacement) {
        return Update::unchanged;
    }
    if (replacement->size() > kMaxSize) {
        return Update::tooLarge;
    }
    // A complete new file replaces the old one, keeping its mode.
    if (QString reason; !LinkSafeFile::replace(m_path, *replacement, &reason)) {
        return fail(reason);
    }
    m_known = Contents{true, *replacement, {}};
    return Update::written;
}

void SharedFile::watch() {
    if (m_watcher) {
        return;
    }
    const QString folder = QFileInfo(m_path).path();
    QDir().mkpath(folder);
    m_watcher = new QFileSystemWatcher(this);
    // The folder, because an atomic replacement is a new file that a watch
    // on the old one never sees; the file, for programs that write in place.
    m_watcher->addPath(folder);
    rewatchFile();
    const auto changedOnDisk = [this] {
        if (!m_settling.isActive()) {
            m_settling.start();
        }
    };
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changedOnDisk);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changedOnDisk);
    // What changed between the last read and now has raised no event.
    changedOnDisk();
}

void SharedFile::settle() {
    rewatchFile();
    const Contents now = readContents(m_path);
    if (m_known && *m_known == now) {
        return;
    }
    m_known = now;
    emit changed();
}

void SharedFile::rewatchFile() {
    if (m_watcher && QFile::exists(m_path) && !m_watcher->files().contains(m_path)) {
        m_watcher->addPath(m_path);
    }
}
