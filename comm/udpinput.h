#pragma once

#include <QtGlobal>

class QHostAddress;
class QString;

// Ports are kept as decimal text. A text that is not an unsigned decimal number counts as 0.
unsigned portNumberFromText(const QString &text);
// The port actually used: the low 16 bits of the number (70000 becomes 4464).
quint16 portFromText(const QString &text);

// Whether a client takes a datagram of `size` bytes from `sender` as a level frame: exactly
// one frame's size, from the configured server. An IPv4 sender reported in its IPv4-mapped
// IPv6 form counts as the same address; an invalid server address accepts nothing.
bool acceptsDatagram(qint64 size, const QHostAddress &sender, const QHostAddress &server);
