#include "flash/FlashProfile.h"

#include <optional>

#include "platform/BinaryFile.h"
#include "platform/Notifier.h"
#include "text/AsciiCase.h"
#include "text/NumberText.h"
#include "text/ProfileValue.h"

namespace harmoload {
namespace {

// A byte 0x1A ends the text, as it ends a file read in text mode by the Windows C library.
constexpr char kEndOfText = 0x1A;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimSpace(std::string_view text) {
    while (!text.empty() && IsNumberSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsNumberSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The text up to its first space (all of it when it has none).
std::string_view FirstWord(std::string_view text) {
    return text.substr(0, text.find(' '));
}

enum class Shape { Ignored, Word, Key };

// The four sections whose address and data keys build a list of bus cycles.
enum class Cycles { None, Erase, Program, WriteBuffer, ProgramBuffer };

struct Section {
    Shape shape = Shape::Ignored;
    Cycles cycles = Cycles::None;
};

Section SectionNamed(const std::string& name) {
    if (name == "flash modle" || name == "reserved sector" || name == "sector address list") {
        return {Shape::Word, Cycles::None};
    }
    if (name == "sector erase cycle") {
        return {Shape::Key, Cycles::Erase};
    }
    if (name == "program cycle") {
        return {Shape::Key, Cycles::Program};
    }
    if (name == "write buffer cycle") {
        return {Shape::Key, Cycles::WriteBuffer};
    }
    if (name == "program buffer cycle") {
        return {Shape::Key, Cycles::ProgramBuffer};
    }
    if (name == "chip type" || name == "write modle" || name == "block size" ||
        name == "file offset" || name == "time" || name == "data" || name == "flash reset") {
        return {Shape::Key, Cycles::None};
    }
    return {};
}

class ProfileReader {
  public:
    ProfileReader(FlashProfile& profile, Notifier& notifier)
        : profile_(profile), notifier_(notifier) {}

    // False when the line is a syntax error (already shown): the reading stops there.
    bool line(std::string_view raw) {
        const std::string line = CollapseBlanks(raw);
        if (line.empty() || line.starts_with("//") || line.starts_with(';')) {
            return true;
        }
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close == std::string::npos) {
                show(kNoClosingBracketMessage + line);
                return false;
            }
            name_ = AsciiLowerCase(TrimSpace(std::string_view(line).substr(1, close - 1)));
            section_ = SectionNamed(name_);
            listOpen_ = false;
            return true;
        }
        if (section_.shape == Shape::Word) {
            word(FirstWord(line));
            return true;
        }
        if (section_.shape == Shape::Key) {
            const size_t equals = line.find('=');
            if (equals == std::string::npos) {
                show(kNoEqualsSignMessage + line);
                return false;
            }
            std::string_view key = std::string_view(line).substr(0, equals);
            while (!key.empty() && IsNumberSpace(key.back())) {
                key.remove_suffix(1);
            }
            std::string_view value = std::string_view(line).substr(equals + 1);
            while (!value.empty() && IsNumberSpace(value.front())) {
                value.remove_prefix(1);
            }
            keyLine(AsciiLowerCase(key), FirstWord(value));
        }
        return true;
    }

  private:
    int32_t value(std::string_view text) {
        return static_cast<int32_t>(parseProfileValue(std::string(text), notifier_));
    }

    void show(const std::string& text) {
        notifier_.showMessage({kApplicationTitle, text, MessageButtons::Ok, MessageIcon::None});
    }

    void word(std::string_view text) {
        if (name_ == "flash modle") {
            profile_.flashModel = std::string(text);
        } else if (name_ == "reserved sector") {
            profile_.reservedSectors.push_back(value(text));
        } else {
            profile_.sectorAddresses.push_back(value(text));
        }
    }

    void keyLine(const std::string& key, std::string_view text) {
        switch (section_.cycles) {
            case Cycles::None:
                singleValue(key, text);
                return;
            case Cycles::Erase:
                cycleLine(key, text, "erasecycles", profile_.eraseCycleCount,
                          profile_.eraseAddresses, profile_.eraseData);
                return;
            case Cycles::Program:
                cycleLine(key, text, "programcycles", profile_.programCycleCount,
                          profile_.programAddresses, profile_.programData);
                return;
            case Cycles::WriteBuffer:
                writeBufferLine(key, text);
                return;
            case Cycles::ProgramBuffer:
                programBufferLine(key, text);
                return;
        }
    }

    void singleValue(const std::string& key, std::string_view text) {
        if (name_ == "chip type") {
            profile_.chipType = value(text);
        } else if (name_ == "write modle") {
            profile_.bufferedWrite = value(text) != 0;
        } else if (name_ == "block size") {
            profile_.blockSize = value(text);
        } else if (name_ == "data") {
            profile_.eraseCheckValue = value(text);
        } else if (name_ == "file offset") {
            if (key == "fileoffset") {
                profile_.fileOffset = value(text);
            }
        } else if (name_ == "time") {
            if (key == "maxwriteback") {
                profile_.maxWriteBack = value(text);
            } else if (key == "maxsectorerasetime") {
                profile_.maxSectorEraseTime = value(text);
            }
        } else if (name_ == "flash reset") {
            if (key == "resetaddr") {
                profile_.resetAddress = value(text);
            } else if (key == "resetdata") {
                profile_.resetData = value(text);
            }
        }
    }

    // An address or data key counts only once the section's opening key has opened the list.
    void cycleEntry(const std::string& key, std::string_view text, std::vector<int32_t>& addresses,
                    std::vector<int32_t>& data) {
        if (!listOpen_) {
            return;
        }
        const bool address = key.find("addr") != std::string::npos;
        const bool datum = key.find("data") != std::string::npos;
        if (!address && !datum) {
            return;
        }
        const int32_t number = value(text);
        if (address) {
            addresses.push_back(number);
        }
        if (datum) {
            data.push_back(number);
        }
    }

    void cycleLine(const std::string& key, std::string_view text, const char* opening,
                   int32_t& count, std::vector<int32_t>& addresses, std::vector<int32_t>& data) {
        if (key == opening) {
            count = value(text);
            listOpen_ = true;
            return;
        }
        cycleEntry(key, text, addresses, data);
    }

    void writeBufferLine(const std::string& key, std::string_view text) {
        FlashProfile& p = profile_;
        if (key == "writebuffercycles") {
            p.writeBufferCycleCount = value(text);
        } else if (key == "writebuffercount") {
            p.writeBufferCount = value(text);
        } else if (key == "writebufferpa1") {
            p.writeBufferPa1 = value(text);
        } else if (key == "writebufferpa2") {
            p.writeBufferPa2 = value(text);
        } else if (key == "writebuffersa1") {
            p.writeBufferSa1 = value(text);
        } else if (key == "writebuffersa2") {
            p.writeBufferSa2 = value(text);
            listOpen_ = true;
        } else {
            cycleEntry(key, text, p.writeBufferAddresses, p.writeBufferData);
        }
    }

    void programBufferLine(const std::string& key, std::string_view text) {
        FlashProfile& p = profile_;
        if (key == "programbuffercycles") {
            p.programBufferCycleCount = value(text);
        } else if (key == "programbuffersa1") {
            p.programBufferSa1 = value(text);
        } else if (key == "programbuffersa2") {
            p.programBufferSa2 = value(text);
            listOpen_ = true;
        } else {
            cycleEntry(key, text, p.programBufferAddresses, p.programBufferData);
        }
    }

    FlashProfile& profile_;
    Notifier& notifier_;
    std::string name_;  // the current section, lower-cased; empty before the first header
    Section section_;
    bool listOpen_ = false;
};

}  // namespace

std::string CollapseBlanks(std::string_view line) {
    line = TrimSpace(line);
    std::string collapsed;
    collapsed.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (IsBlank(line[i])) {
            while (i + 1 < line.size() && IsBlank(line[i + 1])) {
                ++i;
            }
            collapsed += ' ';
        } else {
            collapsed += line[i];
        }
    }
    return collapsed;
}

void ReadFlashProfileText(std::string_view text, FlashProfile& profile, Notifier& notifier) {
    profile = FlashProfile{};
    text = text.substr(0, text.find(kEndOfText));
    ProfileReader reader(profile, notifier);
    while (!text.empty()) {
        // A carriage return left before the line feed goes with the trimming of the line.
        const size_t end = text.find('\n');
        if (!reader.line(text.substr(0, end))) {
            return;
        }
        if (end == std::string_view::npos) {
            return;
        }
        text.remove_prefix(end + 1);
    }
}

bool ReadFlashProfileFile(const std::string& path, FlashProfile& profile, Notifier& notifier) {
    BinaryFile file;
    std::optional<uint64_t> size;
    std::string text;
    bool read = file.open(path, FileAccess::Read) && (size = file.size()).has_value();
    if (read) {
        text.resize(static_cast<size_t>(*size));
        read = file.readAt(0, text.data(), text.size());
    }
    if (!read) {
        notifier.showMessage(
            {kApplicationTitle, kCannotOpenProfileMessage, MessageButtons::Ok, MessageIcon::None});
        return false;
    }
    file.close();
    ReadFlashProfileText(text, profile, notifier);
    return true;
}

}  // namespace harmoload
