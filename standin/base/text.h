#pragma once
// Text every part of the stand-in reads or writes: UTF-8 checked and decoded,
// and counts with their thousands marked.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nimbrel {

// The character at text[at] and its length in bytes; length 0 when the bytes
// there are not well-formed UTF-8.
std::size_t decodeUtf8(std::string_view text, std::size_t at, char32_t& c);

// The 0-based offset of the first byte that is not part of well-formed
// UTF-8, or none.
std::optional<std::size_t> firstNonUtf8Byte(std::string_view text);

// A count with its thousands marked: "20,000".
std::string groupedDigits(std::size_t count);

}  // namespace nimbrel
