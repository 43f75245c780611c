#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "cli/JsonEvents.h"
#include "platform/Clock.h"

namespace harmoload {
namespace {

constexpr int kBarWidth = 30;
// Wide enough for "verifying sector 999 of 999", so that a shorter phase overwrites a longer.
constexpr int kPhaseWidth = 28;

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
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kBarWidth, '-');
    char left[32] = "--:--";
    if (rate > 0.0) {
        const auto remaining =
            static_cast<long>(std::ceil((static_cast<double>(dataBytes_) - done) / rate));
        std::snprintf(left, sizeof left, "%02ld:%02ld", remaining / 60, remaining % 60);
    }
    std::string phase = phase_;
    phase.resize(std::max(phase.size(), static_cast<size_t>(kPhaseWidth)), ' ');
    out_ << '\r' << label_ << " [" << bar << "] " << percent << "%  " << Bytes(done) << " / "
         << Bytes(static_cast<double>(dataBytes_)) << "  " << Bytes(rate) << "/s  " << left
         << " left  " << phase;
    out_.flush();
    lineOpen_ = true;
}

}  // namespace harmoload
