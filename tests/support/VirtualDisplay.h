// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// An X server of the test's own (Xvfb on a free display), for programs that
// need a real display: the tray icon's StatusNotifierItem route works only
// on X11.
class VirtualDisplay final {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N"
    QString name() const { return m_name; }
    // The display's windows as "<title> <width>x<height>".
    QStringList windows() const;

private:
    QProcess m_server;
    QString m_name;
};
