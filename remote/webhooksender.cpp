#include "remote/webhooksender.h"

#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>

WebhookSender::WebhookSender(QObject *parent)
    : QObject(parent)
{
    clock.start();
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &WebhookSender::retryDue);
}

void WebhookSender::setTargets(const QStringList &urls, const QByteArray &secret)
{
    targets.clear();
    for (const QString &url : urls)
        targets.append(QUrl(url));
    key = secret;
}

QByteArray WebhookSender::signature(const QByteArray &body, const QByteArray &secret)
{
    return "sha256="
        + QMessageAuthenticationCode::hash(body, secret, QCryptographicHash::Sha256).toHex();
}

void WebhookSender::send(const QByteArray &body, const QByteArray &event)
{
    if (targets.isEmpty())
        return;
    if (!manager)
        manager = new QNetworkAccessManager(this);
    const qint64 now = clock.elapsed();
    for (const QUrl &url : qAsConst(targets)) {
        const auto sameUrl = [&url](const QPair<quint64, Delivery> &d) {
            return d.second.url == url && !d.second.inFlight;
        };
        if (std::count_if(deliveries.begin(), deliveries.end(), sameUrl) >= MaxWaiting) {
            deliveries.erase(std::find_if(deliveries.begin(), deliveries.end(), sameUrl));
            ++givenUp;
            emit countsChanged();
        }
        Delivery delivery;
        delivery.url = url;
        delivery.body = body;
        delivery.event = event;
        delivery.firstMs = now;
        delivery.inFlight = true;
        deliveries.append({ nextId, delivery });
        post(nextId++, delivery);
    }
}

void WebhookSender::post(quint64 id, const Delivery &delivery)
{
    QNetworkRequest request(delivery.url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("orvane-meters"));
    request.setRawHeader("X-Orvane-Event", delivery.event);
    request.setRawHeader("X-Orvane-Signature", signature(delivery.body, key));
    request.setTransferTimeout(TimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = manager->post(request, delivery.body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, id]() { finished(reply, id); });
}

void WebhookSender::finished(QNetworkReply *reply, quint64 id)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool delivered
        = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    const auto it
        = std::find_if(deliveries.begin(), deliveries.end(),
                       [id](const QPair<quint64, Delivery> &d) { return d.first == id; });
    if (it == deliveries.end())
        return;
    if (delivered) {
        deliveries.erase(it);
        return;
    }
    ++failed;
    Delivery &delivery = it->second;
    delivery.inFlight = false;
    const qint64 now = clock.elapsed();
    delivery.nextMs = now + delivery.backoffMs;
    delivery.backoffMs = std::min(delivery.backoffMs * 2, LongestRetryMs);
    if (delivery.nextMs - delivery.firstMs > GiveUpMs) {
        deliveries.erase(it);
        ++givenUp;
    }
    emit countsChanged();
    armRetry();
}

void WebhookSender::retryDue()
{
    const qint64 now = clock.elapsed();
    for (auto &entry : deliveries) {
        Delivery &delivery = entry.second;
        if (!delivery.inFlight && delivery.nextMs <= now) {
            delivery.inFlight = true;
            post(entry.first, delivery);
        }
    }
    armRetry();
}

void WebhookSender::armRetry()
{
    qint64 next = -1;
    for (const auto &entry : qAsConst(deliveries)) {
        if (!entry.second.inFlight && (next < 0 || entry.second.nextMs < next))
            next = entry.second.nextMs;
    }
    if (next < 0) {
        retryTimer.stop();
        return;
    }
    retryTimer.start(int(std::max<qint64>(0, next - clock.elapsed())));
}
