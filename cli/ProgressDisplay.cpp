#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <tuple>
#include <utility>

#include "cli/JsonEvents.h"
#include "platform/Clock.h"

namespace harmoload {
namespace {

constexpr size_t kBarWidth = 30;
// Narrower than this the bar says too little; the percentage says it instead.
constexpr size_t kNarrowestBar = 10;
// When the terminal cannot tell its width.
constexpr int kAssumedColumns = 80;

std::string Bytes(double bytes) {
    char text[32];
    if (bytes >= 1024.0 * 1024.0) {
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    } else if (bytes >= 1024.0) {
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    }
    return text;
}

// What a redraw of the bar can show, each part already written out.
struct BarParts {
    std::string label;
    double fraction = 0.0;
    std::string percent;
    std::string bytes;  // "1.0 KiB / 4.0 KiB"
    std::string rate;   // "1.0 KiB/s"
    std::string left;   // "00:03 left"
    std::string phase;  // empty outside a flash pair's sectors
};

std::string Compose(const BarParts& parts, size_t barWidth, bool bytes, bool rate, bool left) {
    std::string line = parts.label;
    if (barWidth > 0) {
        std::string bar(static_cast<size_t>(parts.fraction * static_cast<double>(barWidth)), '#');
        bar.resize(barWidth, '-');
        line += " [" + bar + "]";
    }
    line += " " + parts.percent;
    for (const auto& [shown, text] :
         {std::pair{bytes, &parts.bytes}, {rate, &parts.rate}, {left, &parts.left}}) {
        if (shown) {
            line += "  " + *text;
        }
    }
    if (!parts.phase.empty()) {
        line += "  " + parts.phase;
    }
    return line;
}

// The bar line in at most width columns. What says least goes first: the rate, then the time
// left, then the byte counts, the bar narrowing before each goes; then the bar goes, then the
// label shortens. The phase stays as long as anything does.
std::string FitBar(BarParts parts, size_t width) {
    for (const auto& [bytes, rate, left] : {std::tuple{true, true, true},
                                            {true, false, true},
                                            {true, false, false},
                                            {false, false, false}}) {
        // " [" and "]" around the bar.
        const size_t room = Compose(parts, 0, bytes, rate, left).size() + 3;
        if (room + kNarrowestBar <= width) {
            return Compose(parts, std::min(kBarWidth, width - room), bytes, rate, left);
        }
    }
    std::string line = Compose(parts, 0, false, false, false);
    if (line.size() > width) {
        parts.label.resize(parts.label.size() - std::min(parts.label.size(), line.size() - width));
        line = Compose(parts, 0, false, false, false);
    }
    line.resize(std::min(line.size(), width));
    return line;
}

}  // namespace

void ProgressDisplay::startPair(std::string label, uint64_t dataBytes) {
    interrupt();
    label_ = std::move(label);
    phase_.clear();
    dataBytes_ = dataBytes;
    range_ = 0;
    position_ = 0;
    bytesDone_ = 0;
    lastTenth_ = -1;
    started_ = clock_.now();
}

void ProgressDisplay::post(const ProgressEvent& event) {
    if (event.phase != FlashPhase::None) {
        phase_ = std::string(FlashPhaseName(event.phase)) + " sector " +
                 std::to_string(event.sector) + " of " + std::to_string(event.sectors);
    }
    if (event.change == ProgressChange::Phase) {
        // Only the bar names the phase; the plain lines count tenths.
        if (terminal_) {
            show();
        }
        return;
    }
    range_ = event.total;
    position_ = event.done;
    bytesDone_ = event.bytesDone;
    if (event.bytesTotal != 0) {
        dataBytes_ = event.bytesTotal;
    }
    show();
}

void ProgressDisplay::interrupt() {
    if (lineOpen_) {
        out_ << '\n';
        lineOpen_ = false;
    }
}

void ProgressDisplay::show() {
    if (range_ == 0) {
        return;
    }
    const double fraction = std::clamp(static_cast<double>(position_) / range_, 0.0, 1.0);
    const int percent = static_cast<int>(fraction * 100.0);
    // The engine's own byte count where it gives one, else the share of the pair's data.
    const double done = bytesDone_ != 0 ? static_cast<double>(bytesDone_)
                                        : fraction * static_cast<double>(dataBytes_);
    const double seconds = static_cast<double>((clock_.now() - started_).count()) / 1000.0;
    const double rate = seconds > 0.0 ? done / seconds : 0.0;

    if (!terminal_) {
        const int tenth = percent / 10;
        if (tenth == lastTenth_) {
            return;
        }
        lastTenth_ = tenth;
        out_ << label_ << ": " << percent << "% (" << Bytes(done) << " of "
             << Bytes(static_cast<double>(dataBytes_)) << ")\n";
        out_.flush();
        return;
    }
    char left[32] = "--:--";
    if (rate > 0.0) {
        const auto remaining =
            static_cast<long>(std::ceil((static_cast<double>(dataBytes_) - done) / rate));
        std::snprintf(left, sizeof left, "%02ld:%02ld", remaining / 60, remaining % 60);
    }
    BarParts parts;
    parts.label = label_;
    parts.fraction = fraction;
    parts.percent = std::to_string(percent) + "%";
    parts.bytes = Bytes(done) + " / " + Bytes(static_cast<double>(dataBytes_));
    parts.rate = Bytes(rate) + "/s";
    parts.left = std::string(left) + " left";
    parts.phase = phase_;
    // Measured at every redraw, so that a resized terminal is followed. The last column stays
    // empty: a character there wraps the line on some terminals, and the carriage return would
    // then go back only to the wrapped part.
    const int columns = columns_ ? columns_() : 0;
    const size_t width = static_cast<size_t>(columns > 1 ? columns : kAssumedColumns) - 1;
    std::string line = FitBar(std::move(parts), width);
    // Spaces to the end of the line clear what a longer line before left there.
    line.resize(width, ' ');
    out_ << '\r' << line;
    out_.flush();
    lineOpen_ = true;
}

}  // namespace harmoload
