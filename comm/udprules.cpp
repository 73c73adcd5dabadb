#include "comm/udprules.h"

#include "comm/levelframe.h"

#include <QHostAddress>
#include <QVector>

unsigned portNumberFromText(const QString &text)
{
    // toUInt() takes a sign ("+7000"), which binds nothing: the title must not show a port.
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0u;
    }
    bool ok = false;
    const unsigned number = text.toUInt(&ok, 10);
    return ok ? number : 0u;
}

quint16 portFromText(const QString &text)
{
    if (text.isEmpty())
        return 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    return static_cast<quint16>(portNumberFromText(text) & 0xFFFFu);
}

QHostAddress hostFromText(const QString &text)
{
    if (text.contains(QLatin1Char(':'))) {
        QHostAddress address;
        if (address.setAddress(text) && address.protocol() == QAbstractSocket::IPv6Protocol)
            return address;
        return QHostAddress();
    }
    // QHostAddress reads inet_aton's forms: octal for a leading zero, hex, fewer than four
    // parts. Only the dotted decimal form is what an operator means.
    const QVector<QStringRef> parts = text.splitRef(QLatin1Char('.'));
    if (parts.size() != 4)
        return QHostAddress();
    quint32 ip = 0;
    for (const QStringRef &part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return QHostAddress();
        unsigned value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return QHostAddress();
            value = value * 10 + unsigned(c.unicode() - '0');
        }
        if (value > 255)
            return QHostAddress();
        ip = (ip << 8) | value;
    }
    return QHostAddress(ip);
}

bool acceptsDatagram(qint64 size, const QHostAddress &sender, const QHostAddress &server)
{
    if (size != LevelFrame::Size || server.isNull())
        return false;
    return sender.isEqual(server, QHostAddress::ConvertV4MappedToIPv4);
}
