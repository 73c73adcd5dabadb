#pragma once

#include "remote/remotesnapshot.h"

#include <QByteArray>
#include <QString>

// The JSON the API and the event stream speak, made from a snapshot alone.
namespace StatusJson {

// GET /api/v1/status, the answer to a command and a stream's `state` event.
QByteArray status(const RemoteSnapshot &snapshot);
// A stream's `levels` event: the six highest levels of one window, in meter order.
QByteArray levels(const double db[RemoteSnapshot::Meters]);
// {"error": "..."}
QByteArray error(const QString &message);

// The wall clock's time in ISO 8601 with the given offset from UTC.
QString isoTime(qint64 epochMs, int utcOffsetSeconds);

} // namespace StatusJson
