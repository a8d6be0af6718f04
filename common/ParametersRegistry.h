// The value readers behind Parameters::load. Each takes an open key (or null) and never fails.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

std::string readText(HKEY key, const char *valueName);
std::vector<std::string> readList(HKEY key, const char *valueName);
int32_t readNumber(HKEY key, const char *valueName);
