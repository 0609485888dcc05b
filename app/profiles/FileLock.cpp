// SPDX-License-Identifier: MIT
#include "FileLock.h"

#include "SystemErrorText.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

FileLock::FileLock(const QString& lockFilePath, std::chrono::milliseconds timeout) {
    using namespace std::chrono_literals;
    // Read-only is enough for flock, and works on a lock file another user
    // made. Never through a link: root would create or open what it points
    // to. Non-blocking, so that a pipe under the name cannot hold the open.
    const int descriptor = ::open(QFile::encodeName(lockFilePath).constData(),
                                  O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        m_error = QStringLiteral("Cannot open %1: %2")
                      .arg(lockFilePath, errno == ELOOP ? QStringLiteral("it is a link")
                                                        : systemErrorText(errno));
        return;
    }
    if (struct stat status{}; ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        m_error = QStringLiteral("Cannot lock %1: not a regular file").arg(lockFilePath);
        ::close(descriptor);
        return;
    }
    // Polled rather than blocking, so that a holder that never lets go
    // cannot hold this process for ever. Holders keep the lock for one read
    // and one write, so short pauses keep waiters close behind.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::chrono::milliseconds pause = 1ms;
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            m_error =
                QStringLiteral("Cannot lock %1: %2").arg(lockFilePath, systemErrorText(error));
            ::close(descriptor);
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            m_error = QStringLiteral("Another program kept %1 locked").arg(lockFilePath);
            ::close(descriptor);
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    m_descriptor = descriptor;
}

FileLock::~FileLock() {
    if (m_descriptor >= 0) {
        // Closing the last descriptor releases the lock.
        ::close(m_descriptor);
    }
}
