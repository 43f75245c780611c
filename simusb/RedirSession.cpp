#include "simusb/RedirSession.h"

#include <sys/socket.h>
#include <usbredirparser.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "simusb/VirtualDescriptors.h"
#include "simusb/VirtualInstrument.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::simusb {
namespace {

// usbredir's endpoint table index: IN endpoints from 16 on.
constexpr int EndpointIndex(int address) {
    return ((address & 0x80) >> 3) | (address & 0x0F);
}
constexpr int kControlOutIndex = EndpointIndex(0x00);
constexpr int kControlInIndex = EndpointIndex(0x80);
constexpr uint8_t kDirectionIn = 0x80;

uint8_t RedirStatus(UsbStatus status) {
    switch (status) {
        case UsbStatus::Success:
            return usb_redir_success;
        case UsbStatus::Stall:
            return usb_redir_stall;
        case UsbStatus::Gone:
            return usb_redir_ioerror;
    }
    return usb_redir_ioerror;
}

const char* StatusName(UsbStatus status) {
    switch (status) {
        case UsbStatus::Success:
            return "ok";
        case UsbStatus::Stall:
            return "stall";
        case UsbStatus::Gone:
            return "gone";
    }
    return "?";
}

}  // namespace

// One connection: the parser, its socket and what has been said about the device.
struct Connection {
    VirtualInstrument& device;
    ServeOptions options;
    int socket = -1;
    usbredirparser* parser = nullptr;
    bool closed = false;
    bool announced = false;  // the peer was told of the device and not yet of its going

    static Connection& Of(void* priv) { return *static_cast<Connection*>(priv); }

    __attribute__((format(printf, 2, 3))) void trace(const char* format, ...) {
        if (!options.verbose) {
            return;
        }
        std::va_list values;
        va_start(values, format);
        std::fprintf(stderr, "harmoload-sim-usb: ");
        std::vfprintf(stderr, format, values);
        std::fprintf(stderr, "\n");
        va_end(values);
    }

    void sendInterfaceAndEndpoints() {
        usb_redir_interface_info_header interfaces{};
        interfaces.interface_count = 1;
        interfaces.interface[0] = static_cast<uint8_t>(usb::kInterface);
        interfaces.interface_class[0] = kVendorSpecificClass;
        usbredirparser_send_interface_info(parser, &interfaces);

        usb_redir_ep_info_header endpoints{};
        std::memset(endpoints.type, usb_redir_type_invalid, sizeof endpoints.type);
        for (int index : {kControlOutIndex, kControlInIndex}) {
            endpoints.type[index] = usb_redir_type_control;
            endpoints.max_packet_size[index] = kMaxPacketSizeBytes;
        }
        for (int address : {usb::kOutEndpoint, usb::kInEndpoint}) {
            const int index = EndpointIndex(address);
            endpoints.type[index] = usb_redir_type_bulk;
            endpoints.interface[index] = static_cast<uint8_t>(usb::kInterface);
            endpoints.max_packet_size[index] = kMaxPacketSizeBytes;
        }
        usbredirparser_send_ep_info(parser, &endpoints);
    }

    void announce() {
        sendInterfaceAndEndpoints();
        usb_redir_device_connect_header connect{};
        connect.speed = usb_redir_speed_full;
        connect.vendor_id = usb::kVendorId;
        connect.product_id = usb::kProductId;
        connect.device_version_bcd = kDeviceVersionBcd;
        usbredirparser_send_device_connect(parser, &connect);
        announced = true;
        trace("device announced");
    }

    // The instrument is gone: the peer unplugs it from its bus.
    void disconnectIfGone() {
        if (announced && !device.plugged()) {
            usbredirparser_send_device_disconnect(parser);
            announced = false;
            trace("device unplugged");
        }
    }

    void sendBulk(uint64_t id, uint8_t endpoint, const UsbReply& reply) {
        usb_redir_bulk_packet_header header{};
        header.endpoint = endpoint;
        header.status = RedirStatus(reply.status);
        header.length = static_cast<uint16_t>(reply.length);
        header.length_high = static_cast<uint16_t>(reply.length >> 16);
        // Answers to writes carry no data: only their length.
        const bool in = (endpoint & kDirectionIn) != 0;
        std::vector<uint8_t> data = in ? reply.data : std::vector<uint8_t>{};
        usbredirparser_send_bulk_packet(parser, id, &header, data.empty() ? nullptr : data.data(),
                                        static_cast<int>(data.size()));
        trace("bulk %s 0x%02x id %llu: %s, %zu bytes", in ? "in" : "out", endpoint,
              static_cast<unsigned long long>(id), StatusName(reply.status), reply.length);
    }

    // Callbacks of the parser.
    static int Read(void* priv, uint8_t* data, int count) {
        Connection& session = Of(priv);
        const ssize_t got = recv(session.socket, data, static_cast<size_t>(count), 0);
        if (got > 0) {
            return static_cast<int>(got);
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return 0;
        }
        session.closed = true;
        return -1;
    }

    static int Write(void* priv, uint8_t* data, int count) {
        Connection& session = Of(priv);
        const ssize_t sent = send(session.socket, data, static_cast<size_t>(count), MSG_NOSIGNAL);
        if (sent >= 0) {
            return static_cast<int>(sent);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return 0;
        }
        session.closed = true;
        return -1;
    }

    static void Log(void* priv, int level, const char* message) {
        if (level <= usbredirparser_warning || Of(priv).options.verbose) {
            std::fprintf(stderr, "harmoload-sim-usb: usbredir: %s\n", message);
        }
    }

    static void Hello(void* priv, usb_redir_hello_header* hello) {
        Connection& session = Of(priv);
        session.trace("peer \"%.64s\"", hello->version);
        if (session.options.present && session.device.plugged()) {
            session.announce();
        }
    }

    static void Reset(void* priv) {
        Connection& session = Of(priv);
        session.trace("bus reset");
        session.device.reset();
    }

    static void SetConfiguration(void* priv, uint64_t id,
                                 usb_redir_set_configuration_header* request) {
        Connection& session = Of(priv);
        const bool ok = session.device.setConfiguration(request->configuration);
        session.trace("set configuration %u: %s", request->configuration, ok ? "ok" : "refused");
        session.sendInterfaceAndEndpoints();
        usb_redir_configuration_status_header status{};
        status.status = ok ? usb_redir_success : usb_redir_stall;
        status.configuration = session.device.configuration();
        usbredirparser_send_configuration_status(session.parser, id, &status);
    }

    static void GetConfiguration(void* priv, uint64_t id) {
        Connection& session = Of(priv);
        usb_redir_configuration_status_header status{};
        status.status = usb_redir_success;
        status.configuration = session.device.configuration();
        usbredirparser_send_configuration_status(session.parser, id, &status);
    }

    static void SetAltSetting(void* priv, uint64_t id, usb_redir_set_alt_setting_header* request) {
        Connection& session = Of(priv);
        usb_redir_alt_setting_status_header status{};
        const bool ok = request->interface == usb::kInterface && request->alt == 0;
        status.status = ok ? usb_redir_success : usb_redir_stall;
        status.interface = request->interface;
        status.alt = 0;
        usbredirparser_send_alt_setting_status(session.parser, id, &status);
    }

    static void GetAltSetting(void* priv, uint64_t id, usb_redir_get_alt_setting_header* request) {
        Connection& session = Of(priv);
        usb_redir_alt_setting_status_header status{};
        const bool ok = request->interface == usb::kInterface;
        status.status = ok ? usb_redir_success : usb_redir_inval;
        status.interface = request->interface;
        status.alt = ok ? 0 : 0xFF;
        usbredirparser_send_alt_setting_status(session.parser, id, &status);
    }

    static void Cancel(void* priv, uint64_t id) {
        Connection& session = Of(priv);
        if (const auto endpoint = session.device.cancel(id)) {
            // The host gave up a read the instrument had nothing for.
            usb_redir_bulk_packet_header header{};
            header.endpoint = *endpoint;
            header.status = usb_redir_cancelled;
            usbredirparser_send_bulk_packet(session.parser, id, &header, nullptr, 0);
            session.trace("read id %llu given up", static_cast<unsigned long long>(id));
        }
    }

    static void Control(void* priv, uint64_t id, usb_redir_control_packet_header* request,
                        uint8_t* data, int dataLength) {
        Connection& session = Of(priv);
        const SetupPacket setup{request->requesttype, request->request, request->value,
                                request->index, request->length};
        const bool in = (request->requesttype & kDirectionIn) != 0;
        const std::span<const uint8_t> out =
            in || data == nullptr ? std::span<const uint8_t>{}
                                  : std::span<const uint8_t>(data, static_cast<size_t>(dataLength));
        const UsbReply reply = session.device.control(setup, out);
        usbredirparser_free_packet_data(session.parser, data);
        usb_redir_control_packet_header answer = *request;
        answer.status = RedirStatus(reply.status);
        answer.length = static_cast<uint16_t>(reply.length);
        std::vector<uint8_t> bytes = in ? reply.data : std::vector<uint8_t>{};
        usbredirparser_send_control_packet(session.parser, id, &answer,
                                           bytes.empty() ? nullptr : bytes.data(),
                                           static_cast<int>(bytes.size()));
        session.trace("control %02x %02x %04x %04x %u: %s, %zu bytes", request->requesttype,
                      request->request, request->value, request->index, request->length,
                      StatusName(reply.status), reply.length);
        session.disconnectIfGone();
    }

    static void Bulk(void* priv, uint64_t id, usb_redir_bulk_packet_header* request, uint8_t* data,
                     int dataLength) {
        Connection& session = Of(priv);
        const uint8_t endpoint = request->endpoint;
        const size_t length = request->length | static_cast<size_t>(request->length_high) << 16;
        if (endpoint & kDirectionIn) {
            usbredirparser_free_packet_data(session.parser, data);
            if (const auto reply = session.device.bulkIn(id, endpoint, length)) {
                session.sendBulk(id, endpoint, *reply);
            } else {
                session.trace("bulk in 0x%02x id %llu: held", endpoint,
                              static_cast<unsigned long long>(id));
            }
        } else {
            const std::span<const uint8_t> bytes =
                data == nullptr ? std::span<const uint8_t>{}
                                : std::span<const uint8_t>(data, static_cast<size_t>(dataLength));
            const UsbReply reply = session.device.bulkOut(endpoint, bytes);
            usbredirparser_free_packet_data(session.parser, data);
            session.sendBulk(id, endpoint, reply);
            if (const auto held = session.device.answerHeldRead()) {
                session.sendBulk(held->first, usb::kInEndpoint, held->second);
            }
        }
        session.disconnectIfGone();
    }

    // Requests for endpoint kinds the instrument does not have.
    static void StartIso(void* priv, uint64_t id, usb_redir_start_iso_stream_header* request) {
        usb_redir_iso_stream_status_header status{usb_redir_inval, request->endpoint};
        usbredirparser_send_iso_stream_status(Of(priv).parser, id, &status);
    }
    static void StopIso(void* priv, uint64_t id, usb_redir_stop_iso_stream_header* request) {
        usb_redir_iso_stream_status_header status{usb_redir_inval, request->endpoint};
        usbredirparser_send_iso_stream_status(Of(priv).parser, id, &status);
    }
    static void StartInterrupt(void* priv, uint64_t id,
                               usb_redir_start_interrupt_receiving_header* request) {
        usb_redir_interrupt_receiving_status_header status{usb_redir_inval, request->endpoint};
        usbredirparser_send_interrupt_receiving_status(Of(priv).parser, id, &status);
    }
    static void StopInterrupt(void* priv, uint64_t id,
                              usb_redir_stop_interrupt_receiving_header* request) {
        usb_redir_interrupt_receiving_status_header status{usb_redir_inval, request->endpoint};
        usbredirparser_send_interrupt_receiving_status(Of(priv).parser, id, &status);
    }
    static void AllocStreams(void* priv, uint64_t id,
                             usb_redir_alloc_bulk_streams_header* request) {
        usb_redir_bulk_streams_status_header status{request->endpoints, 0, usb_redir_inval};
        usbredirparser_send_bulk_streams_status(Of(priv).parser, id, &status);
    }
    static void FreeStreams(void* priv, uint64_t id, usb_redir_free_bulk_streams_header* request) {
        usb_redir_bulk_streams_status_header status{request->endpoints, 0, usb_redir_inval};
        usbredirparser_send_bulk_streams_status(Of(priv).parser, id, &status);
    }
    static void StartBulkReceiving(void* priv, uint64_t id,
                                   usb_redir_start_bulk_receiving_header* request) {
        usb_redir_bulk_receiving_status_header status{request->stream_id, request->endpoint,
                                                      usb_redir_inval};
        usbredirparser_send_bulk_receiving_status(Of(priv).parser, id, &status);
    }
    static void StopBulkReceiving(void* priv, uint64_t id,
                                  usb_redir_stop_bulk_receiving_header* request) {
        usb_redir_bulk_receiving_status_header status{request->stream_id, request->endpoint,
                                                      usb_redir_inval};
        usbredirparser_send_bulk_receiving_status(Of(priv).parser, id, &status);
    }
    static void IsoPacket(void* priv, uint64_t, usb_redir_iso_packet_header*, uint8_t* data, int) {
        usbredirparser_free_packet_data(Of(priv).parser, data);
    }
    static void InterruptPacket(void* priv, uint64_t, usb_redir_interrupt_packet_header*,
                                uint8_t* data, int) {
        usbredirparser_free_packet_data(Of(priv).parser, data);
    }
    static void FilterReject(void*) {}
    static void FilterFilter(void*, usbredirfilter_rule* rules, int) { std::free(rules); }
    static void DisconnectAck(void*) {}

    void start() {
        parser = usbredirparser_create();
        parser->priv = this;
        parser->log_func = Log;
        parser->read_func = Read;
        parser->write_func = Write;
        parser->hello_func = Hello;
        parser->reset_func = Reset;
        parser->set_configuration_func = SetConfiguration;
        parser->get_configuration_func = GetConfiguration;
        parser->set_alt_setting_func = SetAltSetting;
        parser->get_alt_setting_func = GetAltSetting;
        parser->cancel_data_packet_func = Cancel;
        parser->control_packet_func = Control;
        parser->bulk_packet_func = Bulk;
        parser->start_iso_stream_func = StartIso;
        parser->stop_iso_stream_func = StopIso;
        parser->start_interrupt_receiving_func = StartInterrupt;
        parser->stop_interrupt_receiving_func = StopInterrupt;
        parser->alloc_bulk_streams_func = AllocStreams;
        parser->free_bulk_streams_func = FreeStreams;
        parser->start_bulk_receiving_func = StartBulkReceiving;
        parser->stop_bulk_receiving_func = StopBulkReceiving;
        parser->iso_packet_func = IsoPacket;
        parser->interrupt_packet_func = InterruptPacket;
        parser->filter_reject_func = FilterReject;
        parser->filter_filter_func = FilterFilter;
        parser->device_disconnect_ack_func = DisconnectAck;
        uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
        for (int cap : {usb_redir_cap_connect_device_version, usb_redir_cap_ep_info_max_packet_size,
                        usb_redir_cap_64bits_ids, usb_redir_cap_32bits_bulk_length}) {
            usbredirparser_caps_set_cap(caps, cap);
        }
        usbredirparser_init(parser, "harmoload-sim-usb", caps, USB_REDIR_CAPS_SIZE,
                            usbredirparser_fl_usb_host);
    }

    ~Connection() {
        if (parser != nullptr) {
            usbredirparser_destroy(parser);
        }
    }
};

RedirSession::RedirSession(VirtualInstrument& device, const ServeOptions& options, int socket)
    : connection_(new Connection{device, options, socket}) {
    connection_->start();
}

RedirSession::~RedirSession() = default;

bool RedirSession::closed() const {
    return connection_->closed;
}

bool RedirSession::hasDataToWrite() const {
    return usbredirparser_has_data_to_write(connection_->parser) != 0;
}

void RedirSession::readFromPeer() {
    const int result = usbredirparser_do_read(connection_->parser);
    if (result == usbredirparser_read_io_error) {
        connection_->closed = true;
    } else if (result == usbredirparser_read_parse_error) {
        std::fprintf(stderr, "harmoload-sim-usb: a packet from the peer made no sense\n");
    }
}

void RedirSession::writeToPeer() {
    while (!connection_->closed && hasDataToWrite()) {
        if (usbredirparser_do_write(connection_->parser) != 0) {
            connection_->closed = true;
        }
        if (hasDataToWrite()) {
            return;  // the socket is full: wait until it drains
        }
    }
}

void RedirSession::deviceUnplugged() {
    connection_->disconnectIfGone();
}

}  // namespace harmoload::simusb
