// Checks the token test against a plain comparison: the Authorization header and the secret
// come from the fuzzer's input, and the constant-time comparison must agree with == on every
// pair (an empty secret matching nothing).
//
// Input:
//   byte 0        length of the secret
//   ...           the secret, then the Authorization header's value

#include "fuzzcheck.h"
#include "remote/accessrules.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data);
    const size_t secretLength = std::min<size_t>(data[0], size - 1);
    const QByteArray secret(bytes + 1, int(secretLength));
    const QByteArray header(bytes + 1 + secretLength, int(size - 1 - secretLength));

    const QByteArray given = AccessRules::bearerToken(header);
    // The reference: "Bearer" in any case, then the token, spaces around it ignored.
    const QByteArray value = header.trimmed();
    const int space = value.indexOf(' ');
    const QByteArray expected = space >= 0 && value.left(space).toLower() == "bearer"
        ? value.mid(space + 1).trimmed()
        : QByteArray();
    FUZZ_CHECK(given == expected);
    FUZZ_CHECK(AccessRules::sameSecret(given, secret) == (!secret.isEmpty() && given == secret));
    FUZZ_CHECK(AccessRules::sameSecret(secret, secret) == !secret.isEmpty());
    return 0;
}
