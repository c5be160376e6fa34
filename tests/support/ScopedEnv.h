#pragma once

#include <stdlib.h>
#include <time.h>

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
    ~ScopedEnv() { restore(); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const char* value) const {
        if (value != nullptr) {
            ::setenv(name_, value, 1);
        } else {
            ::unsetenv(name_);
        }
    }
    // Back to what it was before the scope, already before its end.
    void restore() const { set(saved_ ? saved_->c_str() : nullptr); }

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

// TZ for a scope, kept and put back as ScopedEnv does, with the C library's
// local time following each change (tzset).
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) : tz_("TZ", zone) { ::tzset(); }
    ~ScopedTimeZone() {
        tz_.restore();
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    void set(const char* zone) const {
        tz_.set(zone);
        ::tzset();
    }

  private:
    ScopedEnv tz_;
};
