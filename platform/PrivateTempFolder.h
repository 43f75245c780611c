#pragma once
// A folder of the run's own in the user's temporary area, for the work files TEMP.INI and
// TEMP.BIN: the program's folder may not be writable, and two copies of the program must not
// share their files. Removed with everything in it when the object goes.

#include <filesystem>
#include <string>

namespace harmoload {

class PrivateTempFolder {
  public:
    // Creates the folder; when that fails, created() is false and error() says why.
    PrivateTempFolder();
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    bool created() const { return !path_.empty(); }
    // With its trailing separator, as the program directory is written.
    std::string path() const;
    const std::string& error() const { return error_; }

  private:
    std::filesystem::path path_;
    std::string error_;
};

}  // namespace harmoload
