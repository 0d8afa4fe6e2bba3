// The platform's sockets as the check uses them: one holder for a socket, and the few names and
// calls in which Winsock and POSIX sockets differ. The calls that differ in more than a name are
// in NetworkWin32.cpp and NetworkPosix.cpp.
#pragma once

#include "network/NetworkBackend.h"
#include "toolkit/Handles.h"

#include <chrono>
#include <span>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

using TSocket = UniqueHandleOf<FreedBy<SOCKET, closesocket, INVALID_SOCKET>>;
// The errors connect gives for an attempt left under way, and for a computer that said no.
inline constexpr int kConnectPending = WSAEWOULDBLOCK;
inline constexpr int kConnectRefused = WSAECONNREFUSED;
inline int LastSocketError() { return WSAGetLastError(); }

// Winsock is started for as long as any part of the check (a lookup left behind by a cancelled
// check included) still holds the backend.
class TSocketsStarted {
public:
    TSocketsStarted() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~TSocketsStarted()
    {
        if (started_)
            WSACleanup();
    }
    TSocketsStarted(const TSocketsStarted&) = delete;
    TSocketsStarted& operator=(const TSocketsStarted&) = delete;

private:
    WSADATA data_{};
    bool started_ = false;
};
#else
#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

using TSocket = UniqueHandleOf<FreedBy<int, close, -1>>;
inline constexpr int kConnectPending = EINPROGRESS;
inline constexpr int kConnectRefused = ECONNREFUSED;
inline int LastSocketError() { return errno; }

// POSIX sockets need no start.
struct TSocketsStarted {};
#endif

using TSocketId = TSocket::Type;

// A TCP socket of the address family whose connect returns at once; an empty one when the
// platform gives none.
TSocket OpenNonBlockingSocket(int family);

// Waits up to `wait` for the connection attempts on the sockets to end, all in one wait, and
// returns those that ended, by their index (none when the time ran out).
std::vector<TConnectEnd> WaitForConnects(std::span<const TSocketId> sockets, std::chrono::milliseconds wait);

inline ConnectOutcome OutcomeOf(int error)
{
    if (error == 0)
        return ConnectOutcome::Open;
    return error == kConnectRefused ? ConnectOutcome::Refused : ConnectOutcome::Failed;
}

// The error the connection attempt on the socket ended with; 0 when none.
inline int PendingError(TSocketId socket)
{
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        error = LastSocketError();
    return error;
}
