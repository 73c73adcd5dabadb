#include "remote/alarmevent.h"

#include "remote/statusjson.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

AlarmEvent make(AlarmEvent::Kind kind, const char *state, int pair, qint64 timeMs,
                const QString &detail = {})
{
    AlarmEvent event;
    event.kind = kind;
    event.state = QLatin1String(state);
    event.pair = pair;
    event.timeMs = timeMs;
    event.detail = detail;
    return event;
}

} // namespace

AlarmEvent AlarmEvent::link(RemoteSnapshot::LinkState state, const QString &source, qint64 timeMs)
{
    return make(Link, RemoteSnapshot::linkStateName(state), -1, timeMs, source);
}

AlarmEvent AlarmEvent::silence(int pair, bool raised, qint64 timeMs)
{
    return make(Silence, raised ? "raised" : "cleared", pair, timeMs);
}

AlarmEvent AlarmEvent::over(int pair, int count, qint64 timeMs)
{
    return make(Over, "latched", pair, timeMs, QString::number(count));
}

AlarmEvent AlarmEvent::clockSync(bool synchronised, qint64 timeMs)
{
    return make(ClockSync, synchronised ? "regained" : "lost", -1, timeMs);
}

AlarmEvent AlarmEvent::timeUp(qint64 timeMs)
{
    return make(CountDown, "time_up", -1, timeMs);
}

AlarmEvent AlarmEvent::onAir(bool on, qint64 timeMs)
{
    return make(OnAir, on ? "on" : "off", -1, timeMs);
}

const char *AlarmEvent::kindName(Kind kind)
{
    switch (kind) {
    case Link:
        return "link";
    case Silence:
        return "silence";
    case Over:
        return "over";
    case ClockSync:
        return "clock_sync";
    case CountDown:
        return "countdown";
    case OnAir:
        break;
    }
    return "onair";
}

QByteArray AlarmEvent::toJson(const QString &displayName, int utcOffsetSeconds) const
{
    QJsonObject object {
        { QStringLiteral("event"), QLatin1String(kindName(kind)) },
        { QStringLiteral("state"), state },
        { QStringLiteral("pair"),
          pair < 0 ? QJsonValue() : QJsonValue(QLatin1String(RemoteSnapshot::pairName(pair))) },
        { QStringLiteral("time"), StatusJson::isoTime(timeMs, utcOffsetSeconds) },
        { QStringLiteral("time_ms"), double(timeMs) },
        { QStringLiteral("display"), displayName },
    };
    if (!detail.isEmpty())
        object.insert(QStringLiteral("detail"), detail);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString AlarmEvent::message(const QString &displayName) const
{
    QString what;
    switch (kind) {
    case Link:
        what = QStringLiteral("Link %1").arg(state);
        if (!detail.isEmpty())
            what += QStringLiteral(" (%1)").arg(detail);
        break;
    case Silence:
        what = QStringLiteral("Silence %1 on %2")
                   .arg(state, QLatin1String(RemoteSnapshot::pairName(pair)));
        break;
    case Over:
        what = QStringLiteral("Over latched on %1, %2 so far")
                   .arg(QLatin1String(RemoteSnapshot::pairName(pair)), detail);
        break;
    case ClockSync:
        what = QStringLiteral("Clock synchronisation %1").arg(state);
        break;
    case CountDown:
        what = QStringLiteral("Count-down time up");
        break;
    case OnAir:
        what = QStringLiteral("ON AIR %1").arg(state);
        break;
    }
    return displayName.isEmpty() ? what : what + QStringLiteral(" [%1]").arg(displayName);
}

QList<QPair<QByteArray, QByteArray>> AlarmEvent::journalFields(const QString &displayName) const
{
    const bool clears = state == QLatin1String("cleared") || state == QLatin1String("regained")
        || state == QLatin1String("live") || state == QLatin1String("off");
    // syslog's priorities: 4 warning, 5 notice.
    QList<QPair<QByteArray, QByteArray>> fields {
        { "MESSAGE", message(displayName).toUtf8() },
        { "PRIORITY", clears ? "5" : "4" },
        { "ORVANE_EVENT", kindName(kind) },
        { "ORVANE_STATE", state.toUtf8() },
    };
    using Field = QPair<QByteArray, QByteArray>;
    if (pair >= 0)
        fields.append(Field("ORVANE_PAIR", RemoteSnapshot::pairName(pair)));
    if (!detail.isEmpty())
        fields.append(Field("ORVANE_DETAIL", detail.toUtf8()));
    if (!displayName.isEmpty())
        fields.append(Field("ORVANE_DISPLAY", displayName.toUtf8()));
    return fields;
}
