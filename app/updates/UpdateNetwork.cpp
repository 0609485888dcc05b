// SPDX-License-Identifier: MIT
#include "UpdateNetwork.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

UpdateNetwork::UpdateNetwork(std::chrono::milliseconds timeout, bool allowPlainHttp,
                             QObject* parent)
    : QObject(parent)
    , m_timeout(timeout)
    , m_allowPlainHttp(allowPlainHttp)
    , m_manager(std::make_unique<QNetworkAccessManager>()) {}

UpdateNetwork::~UpdateNetwork() {
    cancel();
}

std::optional<QString> UpdateNetwork::refusal(const QUrl& url) const {
    if (!url.isValid() || url.host().isEmpty()) {
        return QStringLiteral("\"%1\" is not a web address").arg(url.toString());
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https" || (m_allowPlainHttp && scheme == u"http")) {
        return std::nullopt;
    }
    return QStringLiteral("%1 is not a secure (HTTPS) address").arg(url.toDisplayString());
}

QNetworkReply* UpdateNetwork::start(const QUrl& url, std::chrono::milliseconds timeout) {
    cancel();
    QNetworkRequest request(url);
    // Redirects are followed, but never from HTTPS to plain HTTP.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(timeout.count()));
    m_reply = m_manager->get(request);
    return m_reply;
}

QString UpdateNetwork::describe(QNetworkReply& reply) {
    // The transfer timeout is the only way a reply ends as cancelled: cancel()
    // disconnects before it aborts.
    if (reply.error() == QNetworkReply::OperationCanceledError) {
        return QStringLiteral("the server did not answer in time");
    }
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        return QStringLiteral("the server answered %1 %2")
            .arg(status)
            .arg(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    }
    return reply.errorString();
}

void UpdateNetwork::fetch(const QUrl& url, qint64 maxBytes, FetchDone done) {
    if (const auto refused = refusal(url)) {
        done(refused, {});
        return;
    }
    QNetworkReply* reply = start(url, m_timeout);
    // The transfer timeout only notices silence; a server that trickles must
    // not hold a check open either.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [reply] {
        reply->setProperty("deadlinePassed", true);
        reply->abort();
    });
    deadline->start(m_timeout);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received) {
        if (received > maxBytes) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, maxBytes, done = std::move(done)] {
        reply->deleteLater();
        m_reply.clear();
        if (reply->property("tooLarge").toBool()) {
            done(QStringLiteral("the document is larger than %1 bytes").arg(maxBytes), {});
        } else if (reply->property("deadlinePassed").toBool()) {
            done(QStringLiteral("the server did not answer in time"), {});
        } else if (reply->error() != QNetworkReply::NoError) {
            done(describe(*reply), {});
        } else {
            done(std::nullopt,
                 {reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toString()});
        }
    });
}

void UpdateNetwork::download(const QUrl& url, QFile& file, qint64 expectedLength, Progress progress,
                             DownloadDone done) {
    if (const auto refused = refusal(url)) {
        done(refused);
        return;
    }
    QNetworkReply* reply = start(url, m_timeout);
    connect(reply, &QNetworkReply::readyRead, reply, [reply, &file, expectedLength, progress] {
        const QByteArray chunk = reply->read(expectedLength + 1 - file.size());
        if (file.write(chunk) != chunk.size()) {
            reply->setProperty("writeFailed", file.errorString());
            reply->abort();
            return;
        }
        progress(file.size());
        if (file.size() > expectedLength) {
            reply->setProperty("overlong", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, &file, done = std::move(done)] {
        reply->deleteLater();
        m_reply.clear();
        file.flush();
        if (const QVariant failed = reply->property("writeFailed"); failed.isValid()) {
            done(QStringLiteral("the file could not be written: %1").arg(failed.toString()));
        } else if (!reply->property("overlong").toBool() &&
                   reply->error() != QNetworkReply::NoError) {
            done(describe(*reply));
        } else {
            done(std::nullopt);
        }
    });
}

void UpdateNetwork::cancel() {
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}
