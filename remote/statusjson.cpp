#include "remote/statusjson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace StatusJson {

namespace {

// Tenths of a dB are all a meter can show; more digits would only lengthen every event.
double tenths(double db)
{
    return std::isfinite(db) ? std::round(db * 10.0) / 10.0 : -50.0;
}

QJsonValue timeOrNull(qint64 ms)
{
    return ms < 0 ? QJsonValue() : QJsonValue(double(ms));
}

QJsonValue errorOrNull(double seconds)
{
    return seconds < 0 ? QJsonValue() : QJsonValue(seconds);
}

const char *endModeName(ClockSettings::EndMode mode)
{
    switch (mode) {
    case ClockSettings::EndDaily:
        return "daily";
    case ClockSettings::EndHourly:
        return "hourly";
    case ClockSettings::EndOff:
        break;
    }
    return "off";
}

const char *countDownName(RemoteSnapshot::CountDownState state)
{
    switch (state) {
    case RemoteSnapshot::CountDownRunning:
        return "running";
    case RemoteSnapshot::CountDownTimeUp:
        return "time_up";
    case RemoteSnapshot::CountDownIdle:
        break;
    }
    return "idle";
}

} // namespace

QString isoTime(qint64 epochMs, int utcOffsetSeconds)
{
    return QDateTime::fromMSecsSinceEpoch(epochMs, Qt::OffsetFromUTC, utcOffsetSeconds)
        .toString(Qt::ISODateWithMs);
}

QByteArray status(const RemoteSnapshot &s)
{
    QJsonObject link {
        { QStringLiteral("state"), QLatin1String(RemoteSnapshot::linkStateName(s.link)) },
        { QStringLiteral("source"), s.linkSource },
        { QStringLiteral("last_frame_ms"), timeOrNull(s.lastFrameMs) },
        { QStringLiteral("last_frame_age_ms"),
          s.lastFrameMs < 0 ? QJsonValue() : QJsonValue(double(s.nowMs - s.lastFrameMs)) },
        { QStringLiteral("frames_accepted"), double(s.framesAccepted) },
        { QStringLiteral("bytes_dropped"), double(s.bytesDropped) },
        { QStringLiteral("datagrams_refused"), double(s.datagramsRefused) },
    };

    QJsonArray meters;
    for (int m = 0; m < RemoteSnapshot::Meters; ++m) {
        meters.append(QJsonObject {
            { QStringLiteral("name"), QLatin1String(RemoteSnapshot::meterName(m)) },
            { QStringLiteral("level_db"), tenths(s.meters[m].levelDb) },
            { QStringLiteral("peak_db"), tenths(s.meters[m].peakDb) },
        });
    }

    QJsonObject pairs;
    for (int p = 0; p < RemoteSnapshot::Pairs; ++p) {
        const RemoteSnapshot::Pair &pair = s.pairs[p];
        pairs.insert(
            QLatin1String(RemoteSnapshot::pairName(p)),
            QJsonObject {
                { QStringLiteral("caption"), pair.caption },
                { QStringLiteral("over"),
                  QJsonObject { { QStringLiteral("latched"), pair.overLatched },
                                { QStringLiteral("count"), pair.overCount },
                                { QStringLiteral("last_ms"),
                                  timeOrNull(pair.overLatched ? pair.lastOverMs : -1) } } },
                { QStringLiteral("silence"),
                  QJsonObject { { QStringLiteral("watched"), pair.silenceWatched },
                                { QStringLiteral("active"), pair.silenceActive },
                                { QStringLiteral("since_ms"),
                                  timeOrNull(pair.silenceActive ? pair.silenceSinceMs : -1) } } },
            });
    }

    QJsonObject endTime {
        { QStringLiteral("mode"), QLatin1String(endModeName(s.endMode)) },
        { QStringLiteral("time"),
          s.endMode == ClockSettings::EndDaily
              ? QJsonValue(s.endTime.toString(QStringLiteral("HH:mm:ss")))
              : s.endMode == ClockSettings::EndHourly
              ? QJsonValue(s.endTime.toString(QStringLiteral("mm:ss")))
              : QJsonValue() },
        { QStringLiteral("seconds_left"),
          s.endSecondsLeft < 0 ? QJsonValue() : QJsonValue(s.endSecondsLeft) },
    };

    const bool counting = s.countDown != RemoteSnapshot::CountDownIdle;
    QJsonObject countDown {
        { QStringLiteral("state"), QLatin1String(countDownName(s.countDown)) },
        { QStringLiteral("length_s"), counting ? QJsonValue(s.countDownLength) : QJsonValue() },
        { QStringLiteral("seconds_left"), counting ? QJsonValue(s.countDownLeft) : QJsonValue() },
        { QStringLiteral("ends_ms"), counting ? timeOrNull(s.countDownEndsMs) : QJsonValue() },
        { QStringLiteral("last_s"), s.countDownLast },
    };

    QJsonObject root {
        { QStringLiteral("version"), s.version },
        { QStringLiteral("display"), s.displayName },
        { QStringLiteral("time"), isoTime(s.nowMs, s.utcOffsetSeconds) },
        { QStringLiteral("time_ms"), double(s.nowMs) },
        { QStringLiteral("utc_offset_s"), s.utcOffsetSeconds },
        { QStringLiteral("uptime_s"), double((s.nowMs - s.startedMs) / 1000) },
        { QStringLiteral("link"), link },
        { QStringLiteral("meters"), meters },
        { QStringLiteral("pairs"), pairs },
        { QStringLiteral("clock"),
          QJsonObject {
              { QStringLiteral("synchronised"), s.clockSynchronised },
              { QStringLiteral("legend"), s.clockLegend },
              { QStringLiteral("estimated_error_s"), errorOrNull(s.clockEstimatedErrorS) },
              { QStringLiteral("max_error_s"), errorOrNull(s.clockMaxErrorS) } } },
        { QStringLiteral("end_time"), endTime },
        { QStringLiteral("countdown"), countDown },
        { QStringLiteral("onair"), s.onAir },
        { QStringLiteral("problems"), QJsonArray::fromStringList(s.problems) },
        { QStringLiteral("remote"),
          QJsonObject { { QStringLiteral("clients"), s.clients },
                        { QStringLiteral("webhook_failures"), double(s.webhookFailures) },
                        { QStringLiteral("webhooks_dropped"), double(s.webhooksDropped) } } },
    };
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QByteArray levels(const double db[RemoteSnapshot::Meters])
{
    QByteArray text = "[";
    for (int m = 0; m < RemoteSnapshot::Meters; ++m) {
        if (m)
            text += ',';
        text += QByteArray::number(tenths(db[m]), 'f', 1);
    }
    return text + ']';
}

QByteArray error(const QString &message)
{
    return QJsonDocument(QJsonObject { { QStringLiteral("error"), message } })
        .toJson(QJsonDocument::Compact);
}

} // namespace StatusJson
