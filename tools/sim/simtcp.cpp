#include "simtcp.h"

#include "codec/gatewayaddress.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

std::string nameOf(const sockaddr_in& address)
{
    char host[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(address.sin_port));
}

const std::string RtuScheme = std::string(codec::RtuOverTcpScheme) + "://";
const std::string ModbusTcpScheme = std::string(codec::ModbusTcpScheme) + "://";

} // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string& error)
{
    ListenAddress address;
    std::string_view rest;
    if (text.starts_with(RtuScheme)) {
        address.framing = Framing::Rtu;
        rest = text.substr(RtuScheme.size());
    } else if (text.starts_with(ModbusTcpScheme)) {
        address.framing = Framing::ModbusTcp;
        rest = text.substr(ModbusTcpScheme.size());
    } else {
        error = "expected rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT";
        return std::nullopt;
    }
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
        error = "no port after the host";
        return std::nullopt;
    }
    address.host = std::string(rest.substr(0, colon));
    if (address.host == "localhost")
        address.host = "127.0.0.1";
    in_addr parsed{};
    if (inet_pton(AF_INET, address.host.c_str(), &parsed) != 1) {
        error = "the host must be an IPv4 address, e.g. 127.0.0.1";
        return std::nullopt;
    }
    const auto port = rest.substr(colon + 1);
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), address.port);
    if (port.empty() || ec != std::errc{} || end != port.data() + port.size() || address.port < 0
        || address.port > 65535) {
        error = "the port must be 0..65535 (0: any free port)";
        return std::nullopt;
    }
    return address;
}

std::unique_ptr<SimTcpListener> SimTcpListener::Open(const ListenAddress& address, std::string& error)
{
    std::unique_ptr<SimTcpListener> link(new SimTcpListener);
    link->m_address = address;
    link->m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (link->m_listenFd < 0) {
        error = detail::SystemError("socket");
        return nullptr;
    }
    // A simulator restarted at once may take its port again.
    const int on = 1;
    setsockopt(link->m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<std::uint16_t>(address.port));
    inet_pton(AF_INET, address.host.c_str(), &bound.sin_addr);
    if (bind(link->m_listenFd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
        error = detail::SystemError("bind " + address.host + ":" + std::to_string(address.port));
        return nullptr;
    }
    if (listen(link->m_listenFd, 4) != 0) {
        error = detail::SystemError("listen");
        return nullptr;
    }
    socklen_t size = sizeof bound;
    if (getsockname(link->m_listenFd, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        error = detail::SystemError("getsockname");
        return nullptr;
    }
    link->m_address.port = ntohs(bound.sin_port);
    return link;
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
    const auto scheme = m_address.framing == Framing::Rtu ? RtuScheme : ModbusTcpScheme;
    return std::string(scheme) + m_address.host + ":" + std::to_string(m_address.port);
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
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int fd = accept4(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return Wait::Timeout; // the client gave up before we took it
    // Each write is a segment of its own: the split fault relies on it.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    text = "client " + nameOf(peer) + " connected";
    if (m_clientFd >= 0) {
        closeClient();
        text += ", replacing " + m_clientName;
    }
    m_clientFd = fd;
    m_clientName = nameOf(peer);
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
