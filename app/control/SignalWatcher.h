// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <initializer_list>
#include <memory>
#include <optional>

class QSocketNotifier;

// Process signals delivered on the thread that made the watcher, where the
// event loop runs: a watched signal no longer ends the process, received()
// is emitted for it instead. When the watcher goes, every signal it watched
// is handled again as it was before. One watcher per process at a time.
class SignalWatcher final : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    // Watches these from the start; those that cannot be watched keep their
    // default.
    explicit SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalWatcher() override;
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Why the signal cannot be watched; it then keeps its default and still
    // ends the process, only not as cleanly. A hangup the process was started
    // to ignore (nohup) stays ignored.
    std::optional<QString> watch(int signalNumber);

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignals();

    struct Previous;
    std::unique_ptr<Previous> m_previous;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
