#pragma once
// Sets environment variables for one test and restores them afterwards.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace harmoload {

class EnvironmentScope {
  public:
    // Each name is set to its value, or removed when the value is null.
    EnvironmentScope(std::initializer_list<std::pair<const char*, const char*>> settings) {
        for (const auto& [name, value] : settings) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            Set(name, value);
        }
    }
    ~EnvironmentScope() {
        for (const auto& [name, value] : saved_) {
            Set(name.c_str(), value ? value->c_str() : nullptr);
        }
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

  private:
    static void Set(const char* name, const char* value) {
#ifdef _WIN32
        _putenv_s(name, value != nullptr ? value : "");  // an empty value removes the variable
#else
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
#endif
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace harmoload
