// Holds a loopback port closed for the shell tests: prints its number and
// keeps it bound (not listening) until killed, so that a connection to it is
// refused and no test running beside it can take it meanwhile.
#include <csignal>
#include <cstdio>
#include <exception>

#include "support/closed_port.h"

int main() {
    try {
        ClosedPort port;
        std::printf("%d\n", port.port());
        std::fflush(stdout);
        for (;;) pause();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
