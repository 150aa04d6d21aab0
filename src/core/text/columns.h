// Tables as plain text for a terminal: rows of UTF-8 cells in aligned columns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvio {

// Characters a UTF-8 text takes on a terminal (continuation bytes do not count).
size_t DisplayWidth(std::string_view utf8);

// Rows of cells in columns two blanks apart, each column as wide as its widest cell, trailing
// blanks cut, one line ending in "\n" per row.
std::string AlignedColumns(const std::vector<std::vector<std::string>>& rows);

}  // namespace orvio
