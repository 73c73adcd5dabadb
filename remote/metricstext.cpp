#include "remote/metricstext.h"

#include <cmath>

namespace MetricsText {

namespace {

class Writer
{
public:
    void family(const char *name, const char *type, const char *help)
    {
        current = name;
        text += "# HELP ";
        text += name;
        text += ' ';
        text += help;
        text += "\n# TYPE ";
        text += name;
        text += ' ';
        text += type;
        text += '\n';
    }

    void sample(double value, const QByteArray &labels = {})
    {
        text += current;
        if (!labels.isEmpty())
            text += '{' + labels + '}';
        text += ' ';
        if (std::isnan(value))
            text += "NaN";
        else if (std::isinf(value))
            text += value > 0 ? "+Inf" : "-Inf";
        else
            text += QByteArray::number(value, 'g', 15);
        text += '\n';
    }

    QByteArray text;

private:
    const char *current = "";
};

QByteArray label(const char *name, const QByteArray &value)
{
    return QByteArray(name) + "=\"" + value + '"';
}

double seconds(qint64 ms)
{
    return double(ms) / 1000.0;
}

} // namespace

QByteArray escapeLabel(const QString &value)
{
    QByteArray escaped;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

QByteArray render(const RemoteSnapshot &s)
{
    Writer w;
    w.family("orvane_build_info", "gauge", "The program's version; always 1.");
    w.sample(1, label("version", escapeLabel(s.version)));
    w.family("orvane_start_time_seconds", "gauge", "When the program started, in Unix time.");
    w.sample(seconds(s.startedMs));

    w.family("orvane_link_state", "gauge",
             "1 for the link's state (live, no_data, no_link), 0 for the others.");
    for (const auto state :
         { RemoteSnapshot::Live, RemoteSnapshot::NoData, RemoteSnapshot::NoLink })
        w.sample(s.link == state ? 1 : 0, label("state", RemoteSnapshot::linkStateName(state)));
    w.family("orvane_link_last_frame_timestamp_seconds", "gauge",
             "When the last level frame was accepted, in Unix time; absent before the first.");
    if (s.lastFrameMs >= 0)
        w.sample(seconds(s.lastFrameMs));
    w.family("orvane_frames_accepted_total", "counter", "Level frames accepted.");
    w.sample(double(s.framesAccepted));
    w.family("orvane_dropped_bytes_total", "counter",
             "Serial bytes the deframer dropped as no part of a frame.");
    w.sample(double(s.bytesDropped));
    w.family("orvane_refused_datagrams_total", "counter",
             "UDP datagrams refused (wrong size or sender).");
    w.sample(double(s.datagramsRefused));

    w.family("orvane_level_db", "gauge", "Each meter's level as it shows it, in dB.");
    for (int m = 0; m < RemoteSnapshot::Meters; ++m)
        w.sample(s.meters[m].levelDb, label("meter", RemoteSnapshot::meterName(m)));
    w.family("orvane_peak_db", "gauge", "Each meter's peak mark, in dB.");
    for (int m = 0; m < RemoteSnapshot::Meters; ++m)
        w.sample(s.meters[m].peakDb, label("meter", RemoteSnapshot::meterName(m)));

    w.family("orvane_over_latched", "gauge", "1 while a pair's over lamp is latched.");
    for (int p = 0; p < RemoteSnapshot::Pairs; ++p)
        w.sample(s.pairs[p].overLatched ? 1 : 0, label("pair", RemoteSnapshot::pairName(p)));
    w.family("orvane_overs_total", "counter", "Overs on each pair since the program started.");
    for (int p = 0; p < RemoteSnapshot::Pairs; ++p)
        w.sample(double(s.overEvents[p]), label("pair", RemoteSnapshot::pairName(p)));
    w.family("orvane_silence_active", "gauge", "1 while a pair's silence alarm is raised.");
    for (int p = 0; p < RemoteSnapshot::Pairs; ++p)
        w.sample(s.pairs[p].silenceActive ? 1 : 0, label("pair", RemoteSnapshot::pairName(p)));
    w.family("orvane_silence_events_total", "counter",
             "Silence alarms raised on each pair since the program started.");
    for (int p = 0; p < RemoteSnapshot::Pairs; ++p)
        w.sample(double(s.silenceEvents[p]), label("pair", RemoteSnapshot::pairName(p)));

    w.family("orvane_clock_synchronised", "gauge",
             "1 while the system clock is synchronised (maximum error below 16 s).");
    w.sample(s.clockSynchronised ? 1 : 0);
    w.family("orvane_clock_max_error_seconds", "gauge",
             "The kernel's maximum error of the system clock; absent when it does not say.");
    if (s.clockMaxErrorS >= 0)
        w.sample(s.clockMaxErrorS);
    w.family("orvane_countdown_remaining_seconds", "gauge",
             "Seconds left of the running count-down; 0 when none runs.");
    w.sample(s.countDown == RemoteSnapshot::CountDownRunning ? s.countDownLeft : 0);
    w.family("orvane_onair", "gauge", "1 while the ON AIR lamp is lit.");
    w.sample(s.onAir ? 1 : 0);

    w.family("orvane_remote_clients", "gauge", "Clients connected to this server.");
    w.sample(s.clients);
    w.family("orvane_webhook_failures_total", "counter", "Webhook posts that failed.");
    w.sample(double(s.webhookFailures));
    w.family("orvane_webhooks_dropped_total", "counter",
             "Alarms given up after ten minutes of failed posts to a webhook.");
    w.sample(double(s.webhooksDropped));
    return w.text;
}

} // namespace MetricsText
