#include "remote/remotecommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

namespace {

// Members a route takes; anything else is a mistake the caller should hear about (a "second"
// for "seconds" must not restart the last count-down).
bool onlyMembers(const QJsonObject &object, std::initializer_list<const char *> allowed,
                 QString *error)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char *name : allowed)
            known = known || it.key() == QLatin1String(name);
        if (!known) {
            *error = QStringLiteral("unknown member \"%1\"").arg(it.key());
            return false;
        }
    }
    return true;
}

RemoteCommand failed(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return {};
}

} // namespace

bool RemoteCommand::operator==(const RemoteCommand &o) const
{
    return kind == o.kind && seconds == o.seconds && endMode == o.endMode && endTime == o.endTime
        && on == o.on;
}

RemoteCommand RemoteCommand::parse(Router::Route route, const QByteArray &body, QString *error)
{
    QString why;
    QJsonObject object;
    if (!body.trimmed().isEmpty()) {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            return failed(error,
                          QStringLiteral("the body is not JSON: %1 at byte %2")
                              .arg(parseError.errorString())
                              .arg(parseError.offset));
        if (!document.isObject())
            return failed(error, QStringLiteral("the body is not a JSON object"));
        object = document.object();
    }

    RemoteCommand command;
    switch (route) {
    case Router::Reset:
        if (!onlyMembers(object, {}, &why))
            return failed(error, why);
        command.kind = Reset;
        return command;
    case Router::CountDownCancel:
        if (!onlyMembers(object, {}, &why))
            return failed(error, why);
        command.kind = CancelCountDown;
        return command;
    case Router::CountDownStart: {
        if (!onlyMembers(object, { "seconds" }, &why))
            return failed(error, why);
        command.kind = CountDown;
        if (!object.contains(QLatin1String("seconds")))
            return command;
        const QJsonValue value = object.value(QLatin1String("seconds"));
        const double seconds = value.toDouble(-1.0);
        if (!value.isDouble() || seconds != std::floor(seconds) || seconds < 1
            || seconds > ClockSettings::MaxCountDownSeconds)
            return failed(error,
                          QStringLiteral("\"seconds\" must be a whole number from 1 to %1")
                              .arg(ClockSettings::MaxCountDownSeconds));
        command.seconds = int(seconds);
        return command;
    }
    case Router::EndTime: {
        if (!onlyMembers(object, { "mode", "time" }, &why))
            return failed(error, why);
        const QJsonValue mode = object.value(QLatin1String("mode"));
        const QJsonValue time = object.value(QLatin1String("time"));
        command.kind = EndTime;
        if (mode == QLatin1String("off")) {
            if (!time.isUndefined())
                return failed(error,
                              QStringLiteral("\"time\" is only for \"daily\" or \"hourly\""));
            command.endMode = ClockSettings::EndOff;
            return command;
        }
        const bool daily = mode == QLatin1String("daily");
        if (!daily && mode != QLatin1String("hourly"))
            return failed(error,
                          QStringLiteral("\"mode\" must be \"off\", \"daily\" or \"hourly\""));
        const QString format = daily ? QStringLiteral("HH:mm:ss") : QStringLiteral("mm:ss");
        const QTime parsed = QTime::fromString(time.toString(), format);
        // QTime takes "7:5:3" for HH:mm:ss too; a caller who means a time writes all digits.
        if (!time.isString() || !parsed.isValid() || time.toString().size() != format.size())
            return failed(error,
                          daily ? QStringLiteral("\"time\" must be \"hh:mm:ss\" for daily")
                                : QStringLiteral("\"time\" must be \"mm:ss\" for hourly"));
        command.endMode = daily ? ClockSettings::EndDaily : ClockSettings::EndHourly;
        command.endTime = parsed;
        return command;
    }
    case Router::OnAir: {
        if (!onlyMembers(object, { "on" }, &why))
            return failed(error, why);
        const QJsonValue on = object.value(QLatin1String("on"));
        if (!on.isBool())
            return failed(error, QStringLiteral("\"on\" must be true or false"));
        command.kind = OnAir;
        command.on = on.toBool();
        return command;
    }
    default:
        break;
    }
    return failed(error, QStringLiteral("this is not a command"));
}

QByteArray RemoteCommand::toJson() const
{
    QJsonObject object;
    switch (kind) {
    case CountDown:
        if (seconds > 0)
            object.insert(QStringLiteral("seconds"), seconds);
        break;
    case EndTime:
        object.insert(QStringLiteral("mode"),
                      endMode == ClockSettings::EndDaily        ? QStringLiteral("daily")
                          : endMode == ClockSettings::EndHourly ? QStringLiteral("hourly")
                                                                : QStringLiteral("off"));
        if (endMode == ClockSettings::EndDaily)
            object.insert(QStringLiteral("time"), endTime.toString(QStringLiteral("HH:mm:ss")));
        else if (endMode == ClockSettings::EndHourly)
            object.insert(QStringLiteral("time"), endTime.toString(QStringLiteral("mm:ss")));
        break;
    case OnAir:
        object.insert(QStringLiteral("on"), on);
        break;
    default:
        break;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
