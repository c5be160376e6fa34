#include "journal/SqlStatement.h"

#include <utility>

SqlStatement::SqlStatement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(statement_);
}

SqlStatement::SqlStatement(SqlStatement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

SqlStatement& SqlStatement::operator=(SqlStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = std::exchange(other.statement_, nullptr);
    }
    return *this;
}

SqlStatement& SqlStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
}

SqlStatement& SqlStatement::bind(int index, std::string_view text) {
    // SQLITE_TRANSIENT: the statement keeps its own copy.
    sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

SqlStatement& SqlStatement::bind(const char* name, std::int64_t value) {
    if (const int index = sqlite3_bind_parameter_index(statement_, name); index > 0) {
        bind(index, value);
    }
    return *this;
}

SqlStatement& SqlStatement::bind(const char* name, std::string_view text) {
    if (const int index = sqlite3_bind_parameter_index(statement_, name); index > 0) {
        bind(index, text);
    }
    return *this;
}

int SqlStatement::step() {
    return sqlite3_step(statement_);
}

void SqlStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t SqlStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqlStatement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    const int size = sqlite3_column_bytes(statement_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(size));
}
