#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Posts each alarm to every webhook, signed, without ever waiting for a receiver: a post that
// fails is tried again after 1, 2, 4 ... s (at most a minute apart) until ten minutes have
// passed since the alarm, then given up. One timer, armed only while a retry waits.
//
// Each post carries the header `X-Orvane-Signature: sha256=<hex>`, the HMAC-SHA256 of the body
// keyed with the access token, so that a receiver can tell the display's alarms from forged
// ones; and `X-Orvane-Event`, the event's name.
class WebhookSender : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 GiveUpMs = 10 * 60 * 1000;
    static constexpr qint64 FirstRetryMs = 1000;
    static constexpr qint64 LongestRetryMs = 60 * 1000;
    static constexpr int TimeoutMs = 10000;
    // Per webhook: past this, the oldest alarm waiting is given up for the newest.
    static constexpr int MaxWaiting = 64;

    explicit WebhookSender(QObject *parent = nullptr);

    void setTargets(const QStringList &urls, const QByteArray &key);
    void send(const QByteArray &body, const QByteArray &event);

    // Posts that failed (each try), and alarms given up.
    quint64 failures() const { return failed; }
    quint64 dropped() const { return givenUp; }
    int waiting() const { return int(deliveries.size()); }

    static QByteArray signature(const QByteArray &body, const QByteArray &key);

signals:
    // The failure counts changed.
    void countsChanged();

private:
    struct Delivery
    {
        QUrl url;
        QByteArray body;
        QByteArray event;
        qint64 firstMs = 0;
        qint64 nextMs = 0;
        qint64 backoffMs = FirstRetryMs;
        bool inFlight = false;
    };

    void post(quint64 id, const Delivery &delivery);
    void finished(QNetworkReply *reply, quint64 id);
    void retryDue();
    void armRetry();

    QNetworkAccessManager *manager = nullptr;
    QList<QUrl> targets;
    QByteArray key;
    QList<QPair<quint64, Delivery>> deliveries;
    quint64 nextId = 1;
    QTimer retryTimer;
    QElapsedTimer clock;
    quint64 failed = 0;
    quint64 givenUp = 0;
};
