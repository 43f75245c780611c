#include "simusb/RedirServer.h"

#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "simusb/RedirSession.h"
#include "simusb/VirtualInstrument.h"

namespace harmoload::simusb {

bool ParseListenAddress(const std::string& text, ListenAddress& address) {
    address = ListenAddress{};
    if (text.find('/') != std::string::npos) {
        address.path = text;
        return true;
    }
    std::string port = text;
    if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        address.host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    unsigned value = 0;
    const auto [end, problem] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (problem != std::errc{} || end != port.data() + port.size() || value == 0 || value > 65535 ||
        address.host.empty()) {
        return false;
    }
    address.port = static_cast<uint16_t>(value);
    return true;
}

RedirServer::RedirServer(VirtualInstrument& device, ServeOptions options)
    : device_(device), options_(options) {}

RedirServer::~RedirServer() {
    if (listener_ >= 0) {
        close(listener_);
    }
    if (signals_ >= 0) {
        close(signals_);
    }
    if (!socketPath_.empty()) {
        unlink(socketPath_.c_str());
    }
}

bool RedirServer::listen(const ListenAddress& address, std::string& error) {
    sigset_t handled;
    sigemptyset(&handled);
    sigaddset(&handled, SIGUSR1);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGTERM);
    sigprocmask(SIG_BLOCK, &handled, nullptr);
    signals_ = signalfd(-1, &handled, SFD_CLOEXEC);

    if (!address.path.empty()) {
        sockaddr_un local{};
        local.sun_family = AF_UNIX;
        if (address.path.size() >= sizeof local.sun_path) {
            error = "socket path too long: " + address.path;
            return false;
        }
        std::memcpy(local.sun_path, address.path.c_str(), address.path.size() + 1);
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&local), sizeof local) ||
            ::listen(listener_, 1)) {
            error = "cannot listen on " + address.path + ": " + std::strerror(errno);
            return false;
        }
        socketPath_ = address.path;
        return true;
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    if (const int problem = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found)) {
        error = "cannot resolve " + address.host + ": " + gai_strerror(problem);
        return false;
    }
    const std::string where = address.host + ":" + port;
    for (addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        listener_ = socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC,
                           candidate->ai_protocol);
        if (listener_ < 0) {
            continue;
        }
        const int reuse = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        if (bind(listener_, candidate->ai_addr, candidate->ai_addrlen) == 0 &&
            ::listen(listener_, 1) == 0) {
            freeaddrinfo(found);
            return true;
        }
        close(listener_);
        listener_ = -1;
    }
    freeaddrinfo(found);
    error = "cannot listen on " + where + ": " + std::strerror(errno);
    return false;
}

bool RedirServer::serve(std::string& error) {
    // Wait for the peer; an unplug request before it comes still counts.
    int connection = -1;
    while (connection < 0) {
        pollfd waits[2] = {{listener_, POLLIN, 0}, {signals_, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (waits[1].revents & POLLIN) {
            signalfd_siginfo signal{};
            if (read(signals_, &signal, sizeof signal) == sizeof signal) {
                if (signal.ssi_signo != SIGUSR1) {
                    return true;
                }
                device_.unplug();
            }
        }
        if (waits[0].revents & POLLIN) {
            connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        }
    }

    RedirSession session(device_, options_, connection);
    bool stopped = false;
    while (!session.closed() && !stopped) {
        const short wanted = POLLIN | (session.hasDataToWrite() ? POLLOUT : 0);
        pollfd waits[2] = {{connection, wanted, 0}, {signals_, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::string("poll: ") + std::strerror(errno);
            break;
        }
        if (waits[1].revents & POLLIN) {
            signalfd_siginfo signal{};
            if (read(signals_, &signal, sizeof signal) == sizeof signal) {
                if (signal.ssi_signo == SIGUSR1) {
                    device_.unplug();
                    session.deviceUnplugged();
                } else {
                    stopped = true;
                }
            }
        }
        if (waits[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            session.readFromPeer();
        }
        session.writeToPeer();
    }
    close(connection);
    return error.empty();
}

}  // namespace harmoload::simusb
