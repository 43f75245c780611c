#pragma once
// Files for tests: a private folder removed afterwards with everything in it, byte files, and a
// language table.

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace harmoload::testing {

class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("harmoload-") + (test ? test->name() : "test") + "-" +
                           std::to_string(counter++) + "-" +
                           std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFFFF);
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') {
                c = '_';
            }
        }
        folder_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::permissions(folder_, std::filesystem::perms::all, error);
        for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::all, error);
        }
        std::filesystem::remove_all(folder_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // UTF-8 path of name inside the folder.
    std::string path(const std::string& name) const {
        const std::u8string text = (folder_ / std::u8string(name.begin(), name.end())).u8string();
        return std::string(text.begin(), text.end());
    }
    std::string folder() const { return path(""); }

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string full = path(name);
        std::ofstream out(AsPath(full), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return full;
    }
    std::string writeText(const std::string& name, const std::string& text) const {
        return write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }

    static std::vector<uint8_t> read(const std::string& path) {
        std::ifstream in(AsPath(path), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    static bool exists(const std::string& path) { return std::filesystem::exists(AsPath(path)); }
    static std::filesystem::path AsPath(const std::string& utf8) {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    }

  private:
    std::filesystem::path folder_;
};

// Language-table lines in which every message text names its key ("<IDS_X>"), so a test sees
// which key was looked up; the hold-key sentence parts are short marks ("hold A, B & C on").
inline std::string KeyNamingTexts() {
    std::string text;
    for (const char* key :
         {"IDS_ERR_OPEN_FILE_FAILED", "IDS_ERR_FILE_HDR_CHECKSUM", "IDS_ERR_DATA_HDR_CHECKSUM",
          "IDS_ERR_CNFG_FILE1_CHECKSUM", "IDS_ERR_CNFG_FILE2_CHECKSUM",
          "IDS_ERR_CNFG_FILE3_CHECKSUM", "IDS_ERR_DATA_FILE1_CHECKSUM",
          "IDS_ERR_DATA_FILE2_CHECKSUM", "IDS_ERR_DATA_FILE3_CHECKSUM", "IDS_ERR_DEV_NOT_CONNECT",
          "IDS_ERR_DEV_NOT_CONNECT2", "IDS_ERR_NOT_OPEN_FILE", "IDS_COMMENT_5",
          "IDS_UPDATE_SUCCESSFUL", "IDS_UPDATE_FAILED"}) {
        text += std::string(key) + "=<" + key + ">\n";
    }
    text +=
        "IDS_COMMENT_1=\"hold \"\nIDS_COMMENT_2=\", \"\nIDS_COMMENT_3=\" & \"\nIDS_COMMENT_4=\" "
        "on\"\n";
    return text;
}

// A language table of the texts above.
inline std::string WriteTestLanguageTable(const TempFolder& folder) {
    return folder.writeText("lang.ini", "\xEF\xBB\xBF[StringTable]\n" + KeyNamingTexts());
}

}  // namespace harmoload::testing
