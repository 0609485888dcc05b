// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// The updater's requests: the feed, release notes and packages. One request
// runs at a time. Every request ends: a small document must arrive whole
// within the timeout, a package must keep arriving (no gap longer than the
// timeout). Only HTTPS is spoken, unless a test allows plain HTTP.
class UpdateNetwork final : public QObject {
    Q_OBJECT

public:
    struct Document {
        QByteArray body;
        QString contentType;
    };
    // The error text, or the document.
    using FetchDone = std::function<void(std::optional<QString> error, const Document& document)>;
    using Progress = std::function<void(qint64 received)>;
    using DownloadDone = std::function<void(std::optional<QString> error)>;

    UpdateNetwork(std::chrono::milliseconds timeout, bool allowPlainHttp,
                  QObject* parent = nullptr);
    ~UpdateNetwork() override;

    // Why a request to `url` would not be made; none when it may.
    std::optional<QString> refusal(const QUrl& url) const;

    // A document of at most maxBytes; a longer one fails.
    void fetch(const QUrl& url, qint64 maxBytes, FetchDone done);
    // Writes the body into `file` (open for writing). Stops reading after
    // `expectedLength` + 1 bytes: a longer body is cut short but not an error,
    // so that the caller's length check refuses it.
    void download(const QUrl& url, QFile& file, qint64 expectedLength, Progress progress,
                  DownloadDone done);
    // Ends the running request; its callbacks are never called.
    void cancel();

private:
    QNetworkReply* start(const QUrl& url, std::chrono::milliseconds timeout);
    static QString describe(QNetworkReply& reply);

    std::chrono::milliseconds m_timeout;
    bool m_allowPlainHttp;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
};
