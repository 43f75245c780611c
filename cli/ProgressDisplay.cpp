#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "platform/Clock.h"
#include "platform/Notifier.h"

namespace harmoload {
namespace {

constexpr int kBarWidth = 30;
// Wide enough for "verifying sector 999 of 999", so that a shorter phase overwrites a longer.
constexpr int kPhaseWidth = 28;

const char* PhaseVerb(FlashPhase phase) {
    switch (phase) {
        case FlashPhase::Erasing:
            return "erasing";
        case FlashPhase::Writing:
            return "writing";
        case FlashPhase::Verifying:
            return "verifying";
    }
    return "";
}

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
    lastTenth_ = -1;
    started_ = clock_.now();
}

void ProgressDisplay::post(uint32_t messageId, uintptr_t wParam, intptr_t lParam) {
    // Both messages carry the range in 16 bits, as the progress bar takes it.
    if (messageId == WM_TRANSFER_PROGRESS) {
        range_ = static_cast<uint32_t>(wParam & 0xFFFF);
        position_ = lParam;
    } else if (wParam == 0) {
        range_ = static_cast<uint32_t>(lParam & 0xFFFF);
        position_ = 0;
    } else {
        position_ = lParam;
    }
    show();
}

void ProgressDisplay::flashPhase(FlashPhase phase, size_t sector, size_t sectorsInUse) {
    phase_ = std::string(PhaseVerb(phase)) + " sector " + std::to_string(sector) + " of " +
             std::to_string(sectorsInUse);
    if (terminal_) {
        show();
    }
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
    const double done = fraction * static_cast<double>(dataBytes_);
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
