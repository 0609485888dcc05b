// SPDX-License-Identifier: MIT
#include "FolderWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Long enough to take a scope's folder and the slices made with it in one
// look, short against the second a new scope has to be shaped in.
constexpr int kSettleMs = 30;

} // namespace

FolderWatch::FolderWatch(QObject* parent)
    : QObject(parent)
    , m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &FolderWatch::changed);
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &FolderWatch::readEvents);
    }
}

FolderWatch::~FolderWatch() {
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void FolderWatch::watch(const std::vector<std::string>& folders) {
    if (m_fd < 0) {
        return;
    }
    std::map<std::string, int> kept;
    for (const std::string& folder : folders) {
        const int descriptor = ::inotify_add_watch(
            m_fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR);
        if (descriptor >= 0) {
            kept[folder] = descriptor;
        }
    }
    for (const auto& [folder, descriptor] : m_watches) {
        if (kept.count(folder) == 0) {
            ::inotify_rm_watch(m_fd, descriptor);
        }
    }
    m_watches = std::move(kept);
}

void FolderWatch::readEvents() {
    alignas(inotify_event) char buffer[4096];
    bool folders = false;
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            folders = folders || (event->mask & (IN_ISDIR | IN_Q_OVERFLOW)) != 0;
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (folders && !m_settle.isActive()) {
        m_settle.start();
    }
}
