#include "package/PackageRecord.h"

namespace harmoload {

PairEngine EngineForCode(std::string_view engineCode) {
    // No other character upper-cases to 'R' or '1', so comparing these two suffices.
    const bool transfer = engineCode.size() == 2 &&
                          (engineCode[0] == 'R' || engineCode[0] == 'r') && engineCode[1] == '1';
    return transfer ? PairEngine::Transfer : PairEngine::Flash;
}

const char* EngineName(PairEngine engine) {
    return engine == PairEngine::Transfer ? "transfer" : "flash";
}

}  // namespace harmoload
