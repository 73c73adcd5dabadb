#include "remote/alarmjournal.h"

#include <cstdio>
#include <vector>

#ifdef ORVANE_HAVE_SYSTEMD
#include <sys/uio.h>
#include <systemd/sd-journal.h>
#include <unistd.h>
#endif

namespace AlarmJournal {

QByteArray line(const AlarmEvent &event, const QString &displayName)
{
    QByteArray text = "orvane-meters: " + event.message(displayName).toUtf8();
    for (const auto &field : event.journalFields(displayName)) {
        if (field.first != "MESSAGE" && field.first != "PRIORITY")
            text += ' ' + field.first + '=' + field.second;
    }
    return text + '\n';
}

void write(const AlarmEvent &event, const QString &displayName)
{
#ifdef ORVANE_HAVE_SYSTEMD
    std::vector<QByteArray> entries;
    for (const auto &field : event.journalFields(displayName))
        entries.push_back(field.first + '=' + field.second);
    std::vector<iovec> vectors;
    for (QByteArray &entry : entries)
        vectors.push_back({ entry.data(), size_t(entry.size()) });
    // Where no journal listens (a container, a system without systemd) libsystemd drops the
    // entry and reports success: the alarm would be lost.
    if (access("/run/systemd/journal/socket", W_OK) == 0
        && sd_journal_sendv(vectors.data(), int(vectors.size())) >= 0)
        return;
#endif
    const QByteArray text = line(event, displayName);
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace AlarmJournal
