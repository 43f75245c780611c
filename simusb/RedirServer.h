#pragma once
// Serves a VirtualInstrument over the usbredir protocol to one usb-redir peer (QEMU's usb-redir
// device, for one): listens on a Unix socket or a TCP port, takes one connection, tells the peer
// about the device and moves its transfers until the peer goes away or the server is stopped.

#include <cstdint>
#include <string>

namespace harmoload::simusb {

class VirtualInstrument;

// Where to listen: a path (a Unix socket; anything with a '/') or [HOST:]PORT on TCP.
struct ListenAddress {
    std::string path;
    std::string host = "127.0.0.1";
    uint16_t port = 0;
};

// Nothing usable when the text is neither a path nor a port.
bool ParseListenAddress(const std::string& text, ListenAddress& address);

struct ServeOptions {
    bool present = true;  // false: the peer is never told of a device
    bool verbose = false;
};

// Listens at once (so that a peer started after this returns can connect), then serves one
// session. SIGUSR1 unplugs the instrument; SIGINT and SIGTERM end the session. Returns false
// when the address could not be listened on (error says why).
class RedirServer {
  public:
    RedirServer(VirtualInstrument& device, ServeOptions options);
    ~RedirServer();
    RedirServer(const RedirServer&) = delete;
    RedirServer& operator=(const RedirServer&) = delete;

    bool listen(const ListenAddress& address, std::string& error);
    // Serves one session; false when it ended on an error (error says which).
    bool serve(std::string& error);

  private:
    VirtualInstrument& device_;
    ServeOptions options_;
    int listener_ = -1;
    int signals_ = -1;
    std::string socketPath_;
};

}  // namespace harmoload::simusb
