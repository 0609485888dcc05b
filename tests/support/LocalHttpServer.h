// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTcpServer>
#include <QUrl>

// A web server on the loopback interface that answers GET requests from a
// table of paths, for feeds and packages in tests. Runs on the test's event
// loop; every answer closes its connection.
class LocalHttpServer final : public QObject {
    Q_OBJECT

public:
    struct Response {
        QByteArray body;
        QByteArray contentType = "application/octet-stream";
        int status = 200;
        // Take the request and never answer.
        bool silent = false;
    };

    LocalHttpServer();

    void serve(const QString& path, Response response) {
        m_responses.insert(path, std::move(response));
    }
    QUrl url(const QString& path) const;
    int requests(const QString& path) const { return m_requests.value(path); }

private:
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, Response> m_responses;
    QHash<QString, int> m_requests;
};
