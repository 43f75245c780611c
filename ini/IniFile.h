#pragma once
// A small reader of private-profile (INI) files: the language tables and the transfer profile.
// Nothing is cached; every lookup reads the file again.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace harmoload {

class IniFile {
  public:
    IniFile() = default;
    virtual ~IniFile() = default;

    // With a path: reads that file from now on. With none: an existing path becomes empty text;
    // without one nothing happens.
    void setFile(std::optional<std::string_view> path);

    // The value of key in section; when either is absent, a copy of the default (or empty text)
    // without reading the file. A value of any length is returned whole.
    std::string readValue(std::optional<std::string_view> section,
                          std::optional<std::string_view> key,
                          std::optional<std::string_view> defaultText) const;

    std::string getString(std::optional<std::string_view> section,
                          std::optional<std::string_view> key,
                          std::optional<std::string_view> defaultText) const {
        return readValue(section, key, defaultText);
    }

    const std::optional<std::string>& path() const { return path_; }
    // How many times readValue has asked the private-profile service so far: the work a long
    // value costs, counted.
    uint64_t serviceReads() const { return serviceReads_; }

  private:
    std::optional<std::string> path_;
    mutable uint64_t serviceReads_ = 0;
};

}  // namespace harmoload
