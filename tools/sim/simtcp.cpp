#include "simtcp.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

// The numeric host of a socket address, and its port.
std::pair<std::string, int> endpointOf(const sockaddr_storage& address, socklen_t size)
{
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), size, host, sizeof host, port, sizeof port,
                    NI_NUMERICHOST | NI_NUMERICSERV)
        != 0)
        return {"?", 0};
    return {host, std::atoi(port)};
}

// "127.0.0.1:40112" or "[::1]:40112".
std::string nameOf(const sockaddr_storage& address, socklen_t size)
{
    const auto [host, port] = endpointOf(address, size);
    return (address.ss_family == AF_INET6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList()
    {
        if (first)
            freeaddrinfo(first);
    }
};

// Whether a bind or socket error says the address is none this machine has.
bool notHere(int error)
{
    return error == EADDRNOTAVAIL || error == EAFNOSUPPORT;
}

} // namespace

std::unique_ptr<SimTcpListener> SimTcpListener::Open(const codec::GatewayAddress& address, std::string& error,
                                                     Failure& failure)
{
    failure = Failure::System;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    AddressList found;
    const std::string port = std::to_string(address.port);
    if (const int status = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found.first); status != 0) {
        failure = Failure::Address;
        error = "cannot listen on " + address.host + ": " + gai_strerror(status);
        return nullptr;
    }
    // IPv4 first, so that "localhost" stays 127.0.0.1 where it names both.
    std::vector<const addrinfo*> candidates;
    for (const addrinfo* each = found.first; each; each = each->ai_next)
        candidates.push_back(each);
    std::stable_partition(candidates.begin(), candidates.end(), [](const addrinfo* a) { return a->ai_family == AF_INET; });

    const std::string shown = codec::GatewayName(address);
    for (const addrinfo* candidate : candidates) {
        std::unique_ptr<SimTcpListener> link(new SimTcpListener);
        link->m_address = address;
        link->m_listenFd = socket(candidate->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (link->m_listenFd < 0) {
            failure = notHere(errno) ? Failure::Address : Failure::System;
            error = detail::SystemError("socket for " + shown);
            continue;
        }
        // A simulator restarted at once may take its port again.
        const int on = 1;
        setsockopt(link->m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(link->m_listenFd, candidate->ai_addr, candidate->ai_addrlen) != 0) {
            failure = notHere(errno) ? Failure::Address : Failure::System;
            error = detail::SystemError("bind " + shown);
            continue;
        }
        if (listen(link->m_listenFd, 4) != 0) {
            failure = Failure::System;
            error = detail::SystemError("listen");
            return nullptr;
        }
        sockaddr_storage bound{};
        socklen_t size = sizeof bound;
        if (getsockname(link->m_listenFd, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
            failure = Failure::System;
            error = detail::SystemError("getsockname");
            return nullptr;
        }
        const auto [host, boundPort] = endpointOf(bound, size);
        link->m_address.host = host;
        link->m_address.port = static_cast<std::uint16_t>(boundPort);
        return link;
    }
    return nullptr;
}

SimTcpListener::~SimTcpListener()
{
    if (m_clientFd >= 0)
        close(m_clientFd);
    if (m_listenFd >= 0)
        close(m_listenFd);
}

std::string SimTcpListener::portText() const
{
    return codec::GatewayName(m_address);
}

void SimTcpListener::closeClient()
{
    if (m_clientFd >= 0)
        close(m_clientFd);
    m_clientFd = -1;
}

void SimTcpListener::dropClient()
{
    closeClient();
    m_clientLost = true;
}

SimLink::Wait SimTcpListener::wait(std::optional<Clock::time_point> deadline, std::string& text)
{
    if (StopRequested())
        return Wait::Stopped;
    if (m_clientLost) {
        m_clientLost = false;
        text = "client " + m_clientName + " went away";
        return Wait::NewPeer;
    }
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_clientFd, POLLIN, 0}};
    const int n = detail::WaitForInput(fds, m_clientFd >= 0 ? 2 : 1, deadline);
    if (n < 0) {
        if (errno == EINTR)
            return StopRequested() ? Wait::Stopped : Wait::Timeout;
        text = detail::SystemError("ppoll");
        return Wait::Failed;
    }
    if (n == 0)
        return Wait::Timeout;

    if (m_clientFd >= 0 && fds[1].revents) {
        // Readable with nothing to read is the client's end of the stream.
        std::uint8_t byte = 0;
        const auto peeked = recv(m_clientFd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked > 0)
            return Wait::Readable;
        if (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return Wait::Timeout;
        closeClient();
        text = "client " + m_clientName + " went away";
        return Wait::NewPeer;
    }
    if (fds[0].revents & (POLLERR | POLLNVAL)) {
        text = "the listening socket reported an error";
        return Wait::Failed;
    }
    if (!(fds[0].revents & POLLIN))
        return Wait::Timeout;
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    const int fd = accept4(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return Wait::Timeout; // the client gave up before we took it
    // Each write is a segment of its own: the split fault relies on it.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    text = "client " + nameOf(peer, size) + " connected";
    if (m_clientFd >= 0) {
        closeClient();
        text += ", replacing " + m_clientName;
    }
    m_clientFd = fd;
    m_clientName = nameOf(peer, size);
    m_clientLost = false;
    return Wait::NewPeer;
}

std::optional<std::vector<std::uint8_t>> SimTcpListener::readAvailable(std::string&)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[512];
    while (m_clientFd >= 0) {
        const auto n = recv(m_clientFd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        dropClient(); // its end of the stream, or a reset: not the simulator's failure
    }
    return bytes;
}

int SimTcpListener::write(std::span<const std::uint8_t> bytes, std::string&)
{
    std::size_t done = 0;
    while (m_clientFd >= 0 && done < bytes.size()) {
        const auto n = send(m_clientFd, bytes.data() + done, bytes.size() - done, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        dropClient();
    }
    return static_cast<int>(done);
}

} // namespace sim
