#pragma once

#include <span>
#include <string>

// The entries of the panel's fixed lists, in their order. A list's position
// is what the machine and the settings know; the texts are what the operator
// reads.
std::span<const char* const> functionNames();
std::span<const char* const> speedNames();
std::span<const char* const> recordFormatNames();

// The entry at `index` of `list`; empty outside the list.
std::string entryAt(std::span<const char* const> list, int index);
