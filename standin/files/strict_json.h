#pragma once
// The one strict JSON reader of the stand-in's inputs: a JSON value with no
// key twice in one object, read in time linear in its size (nlohmann's SAX
// interface, the duplicate check per object as it goes).

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace nimbrel {

// Why a text is not strict JSON. what() is the reason in words: for a syntax
// error "line 1, column 11: syntax error while parsing value - ...", for a
// duplicate key the key, for anything else the library's error in our words.
// The position of other errors, as "line 3", is in line.
class StrictJsonError : public std::runtime_error {
public:
    enum class Kind { Syntax, DuplicateKey, TooDeep, Other };
    StrictJsonError(Kind kind, const std::string& what, std::string path, std::size_t byte)
        : std::runtime_error(what), kind(kind), path(std::move(path)), byte(byte) {}
    Kind kind;
    std::string path;  // where, as maps[2].name (a duplicate key: the key's own path)
    std::size_t byte;  // 1-based position of a syntax error in the text read
    std::string line;  // "line 3" of an error of kind Other, when known
};

// How deep arrays and objects may nest in an input; deeper is refused.
inline constexpr std::size_t kDeepestJsonNesting = 512;

// Told, every mebibyte, how far a read has come: bytes read of bytes in all.
using ReadProgress = std::function<void(std::size_t read, std::size_t total)>;

// Reads text[begin, end) as one JSON value; with comments, "//" and "/* */"
// count as blanks. Throws StrictJsonError; for a value nested deeper than
// kDeepestJsonNesting, of kind TooDeep: "line 1, column 514: arrays and
// objects nest more than 512 deep".
nlohmann::ordered_json parseStrictJson(const std::string& text, std::size_t begin = 0,
                                       std::size_t end = std::string::npos, const ReadProgress& progress = {},
                                       bool comments = false);

// The line (from 1) of the value at path ("maps[2].name", as
// StrictJsonError names paths) in a JSON text; none when there is no such value.
std::optional<std::size_t> lineOfValue(const std::string& text, const std::string& path);

}  // namespace nimbrel
