// SPDX-License-Identifier: MIT
#include "LocalHttpServer.h"

#include <QTcpSocket>

#include <stdexcept>

LocalHttpServer::LocalHttpServer() {
    if (!m_server.listen(QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("cannot listen on the loopback interface");
    }
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

QUrl LocalHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LocalHttpServer::answer(QTcpSocket* socket) {
    // Waits for the whole header; requests have no body.
    if (!socket->peek(64 * 1024).contains("\r\n\r\n")) {
        return;
    }
    const QList<QByteArray> requestLine = socket->readLine().trimmed().split(' ');
    socket->readAll();
    const QString path = QString::fromLatin1(requestLine.value(1));
    ++m_requests[path];
    const Response response = m_responses.value(path, Response{"not found", "text/plain", 404});
    if (response.silent) {
        return;
    }
    socket->write("HTTP/1.1 " + QByteArray::number(response.status) +
                  " Answer\r\nContent-Type: " + response.contentType +
                  "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                  "\r\nConnection: close\r\n\r\n" + response.body);
    socket->disconnectFromHost();
}
