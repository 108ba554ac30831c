// The platform's reader of section-and-key settings files, for the Linux
// build: what GetPrivateProfileIntW returns for a file's contents.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The value of `key` under `section` read as an integer by the platform's
// rules, or `defaultValue` when the section, the key or a value is missing.
uint32_t ProfileIntFromText(std::string_view contents, std::u16string_view section,
                            std::u16string_view key, int32_t defaultValue);

// The same for the file at `path` (UTF-8); a file that can't be read gives
// `defaultValue`.
uint32_t ProfileIntFromFile(const std::string& path, std::u16string_view section,
                            std::u16string_view key, int32_t defaultValue);
