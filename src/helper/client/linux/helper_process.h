#pragma once
// Starting the radio helper and talking to it. The helper runs as a child process with one
// end of a socket pair as its standard input and output; every exchange has a deadline, so
// that a helper that died or hangs (stuck in the kernel, say) is seen as gone, never
// waited for. A helper that missed a deadline is killed.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "helper/client/helper_connection.h"

namespace quenfall::helper {

struct HelperDeadlines {
    // From starting the program to its greeting: it is small, but may be read from a slow
    // disk or run under emulation.
    std::chrono::milliseconds Start{5000};
    // For one reply. The commands time out in the kernel after 2 s (7 s through a disk
    // node, where the kernel raises shorter time-outs to 7 s); this allows for that and
    // for the error handling that follows a time-out.
    std::chrono::milliseconds Reply{9000};
};

// A conversation over socket, one end of a stream socket pair whose other end is a helper
// (or a test's stand-in for one) that has already greeted; owns socket. pid is the
// helper's process, ended with the connection; -1 for none.
std::unique_ptr<HelperConnection> ConnectHelperSocket(int socket, int pid, HelperDeadlines deadlines = {});

// Starts the program at path with an empty environment and waits for its greeting.
HelperStart StartHelperProcess(const std::string& path, HelperDeadlines deadlines = {});

}  // namespace quenfall::helper
