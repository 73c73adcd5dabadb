#pragma once

#include "remote/remotesnapshot.h"

#include <QByteArray>

// GET /metrics: the snapshot in Prometheus' text format (version 0.0.4), one `orvane_` family
// per figure, base units (seconds, bytes, dB as the meters show it), `_total` for counters.
namespace MetricsText {

constexpr const char *ContentType = "text/plain; version=0.0.4; charset=utf-8";

QByteArray render(const RemoteSnapshot &snapshot);

// A label value with backslash, double quote and line feed escaped.
QByteArray escapeLabel(const QString &value);

} // namespace MetricsText
