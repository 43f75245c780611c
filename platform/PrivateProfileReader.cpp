#include "platform/PrivateProfileReader.h"

#include <algorithm>

#include "bytes/LittleEndian.h"
#include "platform/CodePage.h"
#include "platform/Unicode.h"

namespace harmoload {
namespace {

// Names match without regard to the case of ASCII letters; other letters must match exactly.
char16_t FoldCase(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
}

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

std::u16string_view TrimSpace(std::u16string_view text) {
    while (!text.empty() && IsProfileSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsProfileSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The service keeps names and values as zero-terminated strings: a U+0000 ends them.
std::u16string UpToNul(std::u16string_view text) {
    return std::u16string(text.substr(0, text.find(u'\0')));
}

std::u16string DecodeUtf16BigEndian(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>((static_cast<uint8_t>(bytes[i]) << 8) |
                                      static_cast<uint8_t>(bytes[i + 1]));
    }
    return text;
}

// Copies at most size - 1 units and a terminating zero; returns the units copied.
uint32_t CopyTruncated(std::u16string_view text, char16_t* buffer, uint32_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t end = text.find(u'\0');
    if (end != std::u16string_view::npos) {
        text = text.substr(0, end);
    }
    const auto count = static_cast<uint32_t>(std::min<size_t>(text.size(), size - 1));
    std::copy_n(text.begin(), count, buffer);
    buffer[count] = u'\0';
    return count;
}

// Copies a value, removing one pair of matching quotes around it when the whole value fits.
uint32_t CopyEntry(std::u16string_view value, char16_t* buffer, uint32_t size) {
    const size_t end = value.find(u'\0');
    if (end != std::u16string_view::npos) {
        value = value.substr(0, end);
    }
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        const std::u16string_view inner = value.substr(1);  // still ends in the quote
        uint32_t count = CopyTruncated(inner, buffer, size);
        if (size >= inner.size() && count > 0) {
            buffer[--count] = u'\0';
        }
        return count;
    }
    return CopyTruncated(value, buffer, size);
}

}  // namespace

bool IsProfileSpace(char16_t c) {
    // Ctrl-Z, the old end-of-file mark, counts as a blank too.
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A;
}

std::u16string DecodeProfileText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return Utf8ToUtf16(bytes.substr(3));
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return ReadUtf16LittleEndian(bytes.substr(2));
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return DecodeUtf16BigEndian(bytes.substr(2));
    }
    return AnsiToUtf16(bytes);
}

ProfileDocument ParsePrivateProfile(std::u16string_view text) {
    ProfileDocument document(1);       // the nameless section holds keys before any header
    bool previousKeyNameless = false;  // only the first of consecutive nameless keys is kept
    while (!text.empty()) {
        const size_t lineEnd = text.find_first_of(u"\r\n");
        std::u16string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::u16string_view::npos ? text.size() : lineEnd + 1);

        line = TrimSpace(line);
        if (line.empty()) {
            continue;
        }
        if (line.front() == u'[') {
            const size_t close = line.rfind(u']');
            if (close != std::u16string_view::npos && close > 0) {
                document.push_back({UpToNul(line.substr(1, close - 1)), {}});
                previousKeyNameless = false;
                continue;
            }
        }
        ProfileKey key;
        const size_t equals = line.find(u'=');
        if (equals == std::u16string_view::npos) {
            key.name = UpToNul(line);
        } else {
            std::u16string_view name = line.substr(0, equals);
            while (!name.empty() && IsProfileSpace(name.back())) {
                name.remove_suffix(1);
            }
            key.name = UpToNul(name);
            key.value = UpToNul(TrimSpace(line.substr(equals + 1)));
        }
        const bool nameless = key.name.empty();
        if (!nameless || !previousKeyNameless) {
            document.back().keys.push_back(std::move(key));
        }
        previousKeyNameless = nameless;
    }
    return document;
}

const std::u16string* FindProfileValue(const ProfileDocument& document, std::u16string_view section,
                                       std::u16string_view key) {
    section = TrimSpace(section);
    key = TrimSpace(key);
    for (const ProfileSection& candidate : document) {
        if (!EqualIgnoringCase(candidate.name, section)) {
            continue;
        }
        // Only the first section of a name is searched.
        for (const ProfileKey& entry : candidate.keys) {
            if (EqualIgnoringCase(entry.name, key)) {
                return entry.value ? &*entry.value : nullptr;
            }
        }
        return nullptr;
    }
    return nullptr;
}

uint32_t CopyProfileString(const ProfileDocument* document, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultText,
                           char16_t* buffer, uint32_t size) {
    // Trailing spaces of the default are dropped, though never its first character.
    while (defaultText.size() > 1 && defaultText.back() == u' ') {
        defaultText.remove_suffix(1);
    }
    if (document == nullptr) {
        return CopyTruncated(defaultText, buffer, size);
    }
    if (size == 0) {
        return 0;
    }
    const std::u16string* value = FindProfileValue(*document, section, key);
    return CopyEntry(value != nullptr ? std::u16string_view(*value) : defaultText, buffer, size);
}

}  // namespace harmoload
