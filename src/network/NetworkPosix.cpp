// The check's sockets in the native build: the same calls as Winsock's, so the check's fan-out
// runs for real under the sanitizers.
#include "network/Sockets.h"

#include <poll.h>

TSocket OpenNonBlockingSocket(int family)
{
    return TSocket(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

// A connection that ended either way shows as writable; its error tells which.
std::vector<TConnectEnd> WaitForConnects(std::span<const TSocketId> sockets, std::chrono::milliseconds wait)
{
    std::vector<pollfd> polled;
    for (TSocketId socket : sockets)
        polled.push_back(pollfd{socket, POLLOUT, 0});
    std::vector<TConnectEnd> ends;
    if (poll(polled.data(), polled.size(), static_cast<int>(wait.count())) <= 0)
        return ends;
    for (std::size_t i = 0; i < polled.size(); ++i)
        if (polled[i].revents != 0)
            ends.push_back(TConnectEnd{i, OutcomeOf(PendingError(polled[i].fd))});
    return ends;
}
