#pragma once

#include "comm/distributionrules.h"
#include "dialogs/comm_st.h"

#include <QString>

class QSettings;

// Where a server display sends its frames on, and what a client listens to beside its
// server: the settings file's [distribution] group. A value that is missing or unreadable
// reads as its default; the texts are kept as the operator typed them.
struct DistributionSettings
{
    Distribution::Mode mode = Distribution::Mode::Multicast;
    QString group = QString::fromLatin1(Distribution::DefaultGroup);
    int ttl = Distribution::DefaultTtl;
    // Comma-separated host[:port], for the unicast mode.
    QString unicast;
    // A second server a client follows when its own goes quiet; empty for none.
    QString backupHost;

    // Reads the [distribution] group of `settings` and leaves the caller's group as it was.
    // Before anything is stored the mode is multicast; a file from before the group keeps the
    // broadcast its displays were set up for.
    static DistributionSettings read(QSettings &settings);
    void write(QSettings &settings) const;

    // Whether and where a display with `comm` and these settings sends its frames on, as one
    // sentence for the operator. A display that keeps the server role while UDP is off still
    // forwards every serial frame, and says so.
    QString forwardingSummary(const comm_st &comm) const;

    bool operator==(const DistributionSettings &o) const
    {
        return mode == o.mode && group == o.group && ttl == o.ttl && unicast == o.unicast
            && backupHost == o.backupHost;
    }
    bool operator!=(const DistributionSettings &o) const { return !(*this == o); }
};
