#include "update/InstructionText.h"

#include "lang/LanguageTable.h"

namespace harmoload {
namespace {

std::string Text(const IniFile& languageTable, const char* key) {
    return LookupText(languageTable, kLanguageSection, key);
}

}  // namespace

std::string HoldKeySentence(const IniFile& languageTable,
                            const std::array<std::string, 3>& holdKeys) {
    const std::string& k1 = holdKeys[0];
    const std::string& k2 = holdKeys[1];
    const std::string& k3 = holdKeys[2];
    const std::string opening = Text(languageTable, "IDS_COMMENT_1");
    const std::string separator = Text(languageTable, "IDS_COMMENT_2");
    const std::string lastSeparator = Text(languageTable, "IDS_COMMENT_3");
    const std::string closing = Text(languageTable, "IDS_COMMENT_4");

    // These instruments take a fourth key, B0, which the package has no room to name.
    if (k1 == "A0" && k2 == "bB0" && k3 == "C1") {
        return opening + "A0" + separator + "bB0" + separator + "B0" + lastSeparator + "C1" +
               closing;
    }

    std::string sentence = opening + k1;
    if (!k2.empty()) {
        if (!k1.empty()) {
            sentence += k3.empty() ? lastSeparator : separator;
        }
        sentence += k2;
    }
    if (!k3.empty()) {
        if (!k2.empty() || !k1.empty()) {
            sentence += lastSeparator;
        }
        sentence += k3;
    }
    return sentence + closing;
}

std::string InstructionText(const IniFile& languageTable, bool devicePresent, bool packageReady,
                            const std::array<std::string, 3>& holdKeys) {
    if (devicePresent) {
        return Text(languageTable, packageReady ? "IDS_COMMENT_5" : "IDS_ERR_NOT_OPEN_FILE");
    }
    return Text(languageTable, "IDS_ERR_DEV_NOT_CONNECT") +
           (packageReady ? HoldKeySentence(languageTable, holdKeys)
                         : Text(languageTable, "IDS_ERR_DEV_NOT_CONNECT2"));
}

}  // namespace harmoload
