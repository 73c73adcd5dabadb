// Parses the fuzzer's input as a command's JSON body for each command route and checks the
// answer: a command within its ranges that reads back the same when written, or none with a
// reason to give the caller.
//
// Input: the body, as it came over the network.

#include "dialogs/clocksettings.h"
#include "fuzzcheck.h"
#include "remote/remotecommand.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    for (const Router::Route route :
         { Router::Reset, Router::CountDownStart, Router::CountDownCancel, Router::EndTime,
           Router::OnAir, Router::Status }) {
        QString error;
        const RemoteCommand command = RemoteCommand::parse(route, body, &error);
        if (command.kind == RemoteCommand::None) {
            FUZZ_CHECK(!error.isEmpty());
            continue;
        }
        FUZZ_CHECK(route != Router::Status);
        FUZZ_CHECK(command.seconds >= 0 && command.seconds <= ClockSettings::MaxCountDownSeconds);
        if (command.kind == RemoteCommand::EndTime && command.endMode != ClockSettings::EndOff)
            FUZZ_CHECK(command.endTime.isValid());
        QString again;
        FUZZ_CHECK(RemoteCommand::parse(route, command.toJson(), &again) == command);
    }
    return 0;
}
