#pragma once

#include "remote/alarmevent.h"

#include <QString>

// Writes each alarm transition to the systemd journal with its own fields, so that
// `journalctl --user -u orvane-meters ORVANE_EVENT=silence` lists last night's dead air; to
// standard error where there is no journal (built without libsystemd, or none running).
namespace AlarmJournal {

void write(const AlarmEvent &event, const QString &displayName);

// The line written to standard error: the message and the fields, "KEY=value" apart.
QByteArray line(const AlarmEvent &event, const QString &displayName);

} // namespace AlarmJournal
