#include "app/ApplyDialogTexts.h"

#include "lang/LanguageTable.h"
#include "ui/WideText.h"

namespace harmoload {

void ApplyDialogTexts(HWND dialog, const IniFile& languageTable) {
    const std::array<std::string, 5> texts = LookupDialogTexts(languageTable);
    for (size_t i = 0; i < kDialogTexts.size(); ++i) {
        const std::wstring text = ui::Wide(texts[i]);
        if (kDialogTexts[i].controlId == 0) {
            SetWindowTextW(dialog, text.c_str());
        } else {
            SetDlgItemTextW(dialog, kDialogTexts[i].controlId, text.c_str());
        }
    }
}

}  // namespace harmoload
