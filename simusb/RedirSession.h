#pragma once
// One usbredir connection to the virtual instrument: the parser and its callbacks, the answers
// to every request and the refusals of what the instrument does not do, and what the peer has
// been told about the device. Used by RedirServer only, which runs the socket it reads and
// writes.

#include <memory>

#include "simusb/RedirServer.h"

namespace harmoload::simusb {

class VirtualInstrument;
struct Connection;

class RedirSession {
  public:
    // socket: connected and non-blocking; the caller closes it after the session.
    RedirSession(VirtualInstrument& device, const ServeOptions& options, int socket);
    ~RedirSession();
    RedirSession(const RedirSession&) = delete;
    RedirSession& operator=(const RedirSession&) = delete;

    // The peer went away or the socket failed.
    bool closed() const;
    bool hasDataToWrite() const;
    // Takes what the peer sent and answers it.
    void readFromPeer();
    // Writes what waits until the socket is full.
    void writeToPeer();
    // Tells the peer that the instrument was unplugged, if it was told of it before.
    void deviceUnplugged();

  private:
    std::unique_ptr<Connection> connection_;
};

}  // namespace harmoload::simusb
