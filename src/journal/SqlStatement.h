#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

// One prepared statement of one connection, finalized when it goes. Binds
// and reads texts as bytes: the journal keeps what the machine sent, whether
// or not it is valid UTF-8.
class SqlStatement {
  public:
    SqlStatement() = default;
    SqlStatement(sqlite3* db, std::string_view sql);
    ~SqlStatement();
    SqlStatement(SqlStatement&& other) noexcept;
    SqlStatement& operator=(SqlStatement&& other) noexcept;
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // False when the statement could not be prepared (the connection's
    // error message says why).
    explicit operator bool() const { return statement_ != nullptr; }

    SqlStatement& bind(int index, std::int64_t value);
    SqlStatement& bind(int index, std::string_view text);
    // By name (":limit"); a name the statement does not use is passed over.
    SqlStatement& bind(const char* name, std::int64_t value);
    SqlStatement& bind(const char* name, std::string_view text);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Ready to run again, with no bindings.
    void reset();

    std::int64_t integer(int column) const;
    std::string text(int column) const;

  private:
    sqlite3_stmt* statement_ = nullptr;
};
