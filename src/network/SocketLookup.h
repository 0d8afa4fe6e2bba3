// What Winsock and POSIX sockets do alike for the check: a name's lookup, and an address's
// bytes laid out for connect.
#pragma once

#include "network/NetworkBackend.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <cstring>

// Every address the name resolves to for a TCP connection to the port; none when not found.
inline std::optional<std::vector<TSocketAddress>> LookUpAddresses(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return std::nullopt;
    std::vector<TSocketAddress> addresses;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(a->ai_addr);
        addresses.emplace_back(bytes, bytes + a->ai_addrlen);
    }
    freeaddrinfo(found);
    return addresses;
}

inline sockaddr_storage StorageOf(const TSocketAddress& address)
{
    sockaddr_storage storage{};
    std::memcpy(&storage, address.data(), std::min(address.size(), sizeof storage));
    return storage;
}
