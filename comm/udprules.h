#pragma once

#include <QtGlobal>

class QHostAddress;
class QString;

// Ports are kept as decimal text. A text that is not plain decimal digits counts as 0.
unsigned portNumberFromText(const QString &text);
// The port actually used, or 0 for no port at all: nothing is bound to it and nothing sent.
// Plain decimal digits only. Numbers above 65535 keep their low 16 bits (70000 becomes 4464),
// because settings stored before the dialog refused such numbers rely on that; a number whose
// low 16 bits are 0 (0, 65536) is no port, as is any other text (empty, "-5", "abc").
quint16 portFromText(const QString &text);

// A host address as a person writes it: four decimal numbers 0 to 255 separated by dots (a
// leading zero is still decimal: 127.0.0.010 is 127.0.0.10), or an IPv6 address. Anything else
// (127.1, 0x7f.0.0.1, 2130706433, a host name) is an invalid address.
QHostAddress hostFromText(const QString &text);

// Whether a client takes a datagram of `size` bytes from `sender` as a level frame: exactly
// one frame's size, from the configured server. An IPv4 sender reported in its IPv4-mapped
// IPv6 form counts as the same address; an invalid server address accepts nothing.
bool acceptsDatagram(qint64 size, const QHostAddress &sender, const QHostAddress &server);
