#include "cli/JsonEvents.h"

#include <ostream>

#include "platform/ProgressMessage.h"

namespace harmoload {

void WriteJsonLine(std::ostream& out, const nlohmann::ordered_json& event) {
    out << event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    out.flush();
}

const char* ProgressEngineName(ProgressEngine engine) {
    return engine == ProgressEngine::Transfer ? "transfer" : "flash";
}

const char* FlashPhaseName(FlashPhase phase) {
    switch (phase) {
        case FlashPhase::Erasing:
            return "erasing";
        case FlashPhase::Writing:
            return "writing";
        case FlashPhase::Verifying:
            return "verifying";
        case FlashPhase::None:
            break;
    }
    return "";
}

nlohmann::ordered_json ProgressJson(const ProgressEvent& event) {
    const bool count = event.change == ProgressChange::Count;
    nlohmann::ordered_json json{{"event", count ? "progress" : "phase"},
                                {"engine", ProgressEngineName(event.engine)},
                                {"done", event.done},
                                {"total", event.total}};
    if (event.engine == ProgressEngine::Transfer) {
        json["packet"] = event.done;
        json["packets"] = event.total;
    } else {
        if (event.phase != FlashPhase::None) {
            json["phase"] = FlashPhaseName(event.phase);
            json["sector"] = event.sector;
        }
        json["sectors"] = event.sectors;
    }
    if (event.bytesTotal != 0) {
        json["bytes"] = event.bytesDone;
        json["totalBytes"] = event.bytesTotal;
    }
    if (const std::optional<ProgressMessage> message = ProgressMessageFor(event)) {
        json["kind"] = ProgressEngineName(event.engine);
        json["wParam"] = message->wParam;
        json["lParam"] = message->lParam;
    }
    return json;
}

}  // namespace harmoload
