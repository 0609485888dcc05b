// SPDX-License-Identifier: MIT
#include "VirtualDisplay.h"

#include "PrivateBus.h"

#include <QRegularExpression>

#include <stdexcept>

VirtualDisplay::VirtualDisplay() {
    // -displayfd picks a free display and writes its number to stdout.
    m_server.start(QStringLiteral("/usr/bin/Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
    QByteArray number;
    const bool ready = waitUntil([this, &number] {
        number += m_server.readAllStandardOutput();
        return number.contains('\n') || m_server.state() == QProcess::NotRunning;
    });
    if (!ready || !number.contains('\n')) {
        m_server.kill();
        m_server.waitForFinished();
        throw std::runtime_error("Xvfb did not start: " +
                                 m_server.readAllStandardError().toStdString());
    }
    m_name = u':' + QString::fromLatin1(number.trimmed());
}

VirtualDisplay::~VirtualDisplay() {
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

QStringList VirtualDisplay::windows() const {
    QProcess info;
    info.start(
        QStringLiteral("/usr/bin/xwininfo"),
        {QStringLiteral("-display"), m_name, QStringLiteral("-root"), QStringLiteral("-tree")});
    info.waitForFinished(5000);
    // Lines read: 0x400007 "Title": ("class" "Class")  450x520+415+140  +415+140
    static const QRegularExpression named(
        QStringLiteral(R"re(^\s*0x[0-9a-f]+ "([^"]*)".*\s(\d+x\d+)[+-])re"));
    QStringList titles;
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split(u'\n')) {
        const QRegularExpressionMatch match = named.match(line);
        if (match.hasMatch()) {
            titles << match.captured(1) + u' ' + match.captured(2);
        }
    }
    return titles;
}
