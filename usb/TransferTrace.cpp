#include "usb/TransferTrace.h"

#include <cstdio>
#include <ostream>

namespace harmoload {
void TraceWriter::writeTime(std::chrono::milliseconds time) {
    time -= start_;
    char text[32];
    std::snprintf(text, sizeof text, "%10lld.%03lld", static_cast<long long>(time.count() / 1000),
                  static_cast<long long>(time.count() % 1000));
    out_ << text;
}

void TraceWriter::transfer(const TransferRecord& record) {
    writeTime(record.time);
    char head[96];
    std::snprintf(head, sizeof head, " %s ep 0x%02x len %zu result %d",
                  record.direction == TransferDirection::Out ? "OUT" : "IN ", record.endpoint,
                  record.requested, record.result);
    out_ << head;
    if (!record.bytes.empty()) {
        out_ << ':';
        for (uint8_t byte : record.bytes) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", byte);
            out_ << hex;
        }
    }
    out_ << '\n';
    out_.flush();
}

void TraceWriter::event(std::chrono::milliseconds time, std::string_view text) {
    writeTime(time);
    out_ << ' ' << text << '\n';
    out_.flush();
}

}  // namespace harmoload
