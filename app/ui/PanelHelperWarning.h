// SPDX-License-Identifier: MIT
#pragma once

#include "ServiceRegistration.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

class ThrottleService;

// The panel's warning that the helper cannot be used: no system bus, no
// helper, or a helper the system has that did not answer when the panel
// came on screen. Each appearance asks again.
class PanelHelperWarning final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isShown READ isShown NOTIFY changed)
    Q_PROPERTY(QString text READ text NOTIFY changed)
    Q_PROPERTY(bool offersInstall READ offersInstall NOTIFY changed)

public:
    PanelHelperWarning(ThrottleService& throttleService, const ServiceRegistration& registration,
                       QObject* parent = nullptr);

    bool isShown() const;
    QString text() const;
    // Only a missing helper can be installed from the panel.
    bool offersInstall() const;

    // Each time the panel comes on screen: the warning follows the
    // registration as it is now, and whether the helper answers.
    void appear();

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<> probeHelper();

    ThrottleService& m_throttleService;
    const ServiceRegistration& m_registration;
    ServiceStatus m_helperStatus = ServiceStatus::notRegistered;
    bool m_helperSilent = false;
    // Only the latest appearance's probe may set m_helperSilent.
    int m_helperProbe = 0;
};
