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
    out_ << (record.direction == TransferDirection::Out ? " OUT" : " IN ");
    char head[96];
    if (record.pipe.empty()) {
        std::snprintf(head, sizeof head, " ep 0x%02x", record.endpoint);
    } else {
        std::snprintf(head, sizeof head, " pipe %.*s", static_cast<int>(record.pipe.size()),
                      record.pipe.data());
    }
    out_ << head;
    std::snprintf(head, sizeof head, " len %zu result %d", record.requested, record.result);
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
