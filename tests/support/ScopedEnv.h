#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

// Keeps an environment variable as it is and puts it back at the end of the
// scope; set() changes it meanwhile (nullptr: unset).
class ScopedEnv {
  public:
    explicit ScopedEnv(const char* name) : name_(name) {
        if (const char* value = ::getenv(name)) {
            saved_ = value;
        }
    }
    ScopedEnv(const char* name, const char* value) : ScopedEnv(name) { set(value); }
    ~ScopedEnv() { set(saved_ ? saved_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const char* value) const {
        if (value != nullptr) {
            ::setenv(name_, value, 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> saved_;
};
