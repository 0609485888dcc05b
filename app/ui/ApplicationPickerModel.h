// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationListModel.h"
#include "RunningApplications.h"

#include <QList>
#include <QString>

// The panel's list of the user's running applications, to throttle one of
// them: searched by name or desktop id, and followed only while it is open,
// so that a closed panel asks the user's manager nothing.
class ApplicationPickerModel final : public ApplicationListModel {
    Q_OBJECT
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY openChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY listChanged)
    // One line in place of the list: why there is none, or that this
    // desktop runs every application in one scope; empty beside rows.
    Q_PROPERTY(QString notice READ notice NOTIFY listChanged)
    // Launching one throttled is the way on this desktop.
    Q_PROPERTY(bool offersLaunch READ offersLaunch NOTIFY listChanged)

public:
    explicit ApplicationPickerModel(RunningApplications& running, QObject* parent = nullptr);

    bool isOpen() const { return m_running.isStarted(); }
    bool isLoading() const;
    QString notice() const;
    bool offersLaunch() const { return m_running.isLoaded() && m_running.sharesSessionScope(); }

    Q_INVOKABLE void open();
    Q_INVOKABLE void close();
    // Tells which application the row shows; nothing for a row not there.
    Q_INVOKABLE void pick(int row);

Q_SIGNALS:
    void openChanged();
    void listChanged();
    void picked(const QString& desktopId, const QString& name);

private:
    int count() const override { return int(m_rows.size()); }
    ApplicationRow rowAt(int row) const override;
    void searchChanged() override { refill(); }
    void refill();

    RunningApplications& m_running;
    QList<RunningApplication> m_rows;
};
