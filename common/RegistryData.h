// Decoding of raw registry value data. Registry data need not end in NUL, so every reader is
// bounded by the number of bytes the query returned.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The text up to the first NUL, reading at most `size` bytes.
std::string textFromRegistryData(const char *data, std::size_t size);

// Consecutive NUL-terminated strings; stops at the first empty string or at the end of the
// data. A last string without its NUL ends at the end of the data.
std::vector<std::string> listFromRegistryData(const char *data, std::size_t size);
