// Asks acceptsDatagram about a datagram, a sender and a configured server taken from the
// fuzzer's input, and checks the answer against a comparison of the raw address bytes.
//
// Input:
//   byte 0        flags
//                   bits 0-1  sender kind: IPv4, IPv4-mapped IPv6, IPv6, none (invalid)
//                   bit 2     the sender's address is the server's (in the chosen kind)
//                   bit 3     an IPv6 sender carries a scope (interface) name
//                   bit 4     the read failed: size -1
//   byte 1        length of the server text
//   ...           the server text (any bytes, read as UTF-8)
//   16 bytes      the sender's address (IPv4 uses the first 4)
//   the rest      the datagram

#include "comm/udprules.h"
#include "fuzzcheck.h"

#include <QHostAddress>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

enum SenderKind { SenderIPv4, SenderMapped, SenderIPv6, SenderNone };

// An address as the client must see it: an IPv4 address, also when it came as ::ffff:a.b.c.d,
// or a true IPv6 address (its scope does not make it another host), or nothing.
struct HostKey
{
    enum { None, V4, V6 } kind = None;
    unsigned char bytes[16] = {};

    bool operator==(const HostKey &other) const
    {
        return kind == other.kind && std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
    }
};

HostKey hostKey(const QHostAddress &address)
{
    HostKey key;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 v4 = address.toIPv4Address();
        key.kind = HostKey::V4;
        for (int i = 0; i < 4; ++i)
            key.bytes[i] = static_cast<unsigned char>(v4 >> (24 - 8 * i));
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        static const unsigned char mappedPrefix[12] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF };
        if (std::memcmp(v6.c, mappedPrefix, sizeof mappedPrefix) == 0) {
            key.kind = HostKey::V4;
            std::memcpy(key.bytes, v6.c + 12, 4);
        } else {
            key.kind = HostKey::V6;
            std::memcpy(key.bytes, v6.c, 16);
        }
    }
    return key;
}

QHostAddress ipv4Sender(const unsigned char *bytes)
{
    return QHostAddress(quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8
                        | quint32(bytes[3]));
}

QHostAddress ipv6Sender(const unsigned char *bytes, bool scoped)
{
    QHostAddress address(bytes);
    if (scoped)
        address.setScopeId(QStringLiteral("lo"));
    return address;
}

QHostAddress mappedSender(const unsigned char *ipv4)
{
    unsigned char bytes[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF };
    std::memcpy(bytes + 12, ipv4, 4);
    return QHostAddress(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const auto kind = static_cast<SenderKind>(flags & 0x03);
    const bool senderIsServer = flags & 0x04;
    const bool scoped = flags & 0x08;
    const bool readFailed = flags & 0x10;

    std::size_t pos = 2;
    const std::size_t textLength = std::min<std::size_t>(data[1], size - pos);
    const QHostAddress server(
        QString::fromUtf8(reinterpret_cast<const char *>(data + pos), int(textLength)));
    pos += textLength;

    unsigned char senderBytes[16] = {};
    const std::size_t addressLength = std::min<std::size_t>(sizeof senderBytes, size - pos);
    std::memcpy(senderBytes, data + pos, addressLength);
    pos += addressLength;
    const qint64 datagramSize = readFailed ? -1 : qint64(size - pos);

    if (senderIsServer) {
        // Without this the fuzzer would almost never hit a matching sender: the comparison
        // happens inside Qt, where it cannot see.
        const HostKey serverKey = hostKey(server);
        if (serverKey.kind == HostKey::V6 && kind != SenderIPv6)
            return 0;
        std::memcpy(senderBytes, serverKey.bytes, sizeof senderBytes);
    }

    QHostAddress sender;
    switch (kind) {
    case SenderIPv4:
        sender = ipv4Sender(senderBytes);
        break;
    case SenderMapped:
        sender = mappedSender(senderBytes);
        break;
    case SenderIPv6:
        if (senderIsServer && hostKey(server).kind == HostKey::V4)
            sender = mappedSender(senderBytes);
        else
            sender = ipv6Sender(senderBytes, scoped);
        break;
    case SenderNone:
        break;
    }

    const HostKey senderKey = hostKey(sender);
    const HostKey serverKey = hostKey(server);
    const bool expected
        = datagramSize == 16 && senderKey.kind != HostKey::None && senderKey == serverKey;
    FUZZ_CHECK(acceptsDatagram(datagramSize, sender, server) == expected);
    // The answer does not depend on the form the platform reports an IPv4 sender in.
    if (senderKey.kind == HostKey::V4) {
        const QHostAddress other = sender.protocol() == QAbstractSocket::IPv4Protocol
            ? mappedSender(senderKey.bytes)
            : ipv4Sender(senderKey.bytes);
        FUZZ_CHECK(acceptsDatagram(datagramSize, other, server) == expected);
    }
    if (senderIsServer && kind != SenderNone && serverKey.kind != HostKey::None)
        FUZZ_CHECK(acceptsDatagram(16, sender, server));
    return 0;
}
