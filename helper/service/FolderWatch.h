// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

// Tells when folders appear in or go from any of a set of folders, a burst
// of them told once. A folder that does not exist yet is watched once it is
// named again after it appeared.
class FolderWatch final : public QObject {
    Q_OBJECT

public:
    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;

    // Watches these folders and no others from now on.
    void watch(const std::vector<std::string>& folders);

Q_SIGNALS:
    void changed();

private:
    void readEvents();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // By path, the kernel's watch descriptor.
    std::map<std::string, int> m_watches;
    QTimer m_settle;
};
