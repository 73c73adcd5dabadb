// Notes the time just before a program starts, on the clock the program's own trace uses
// (CLOCK_MONOTONIC, nanoseconds), then becomes that program: same process id, nothing in
// between but the exec.
//
//   bench_timedexec TIMEFILE PROGRAM [ARGUMENTS...]

#include <cstdio>
#include <ctime>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TIMEFILE PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    FILE *out = std::fopen(argv[1], "w");
    if (!out || std::fprintf(out, "%lld\n", now.tv_sec * 1000000000LL + now.tv_nsec) < 0
        || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    execv(argv[2], argv + 2);
    std::perror(argv[2]);
    return 127;
}
