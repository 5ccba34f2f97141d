#pragma once
// The one strict JSON reader of the stand-in's inputs: a JSON value with no
// key twice in one object, nested at most 512 deep, read in time linear in
// its size (nlohmann's SAX interface, the duplicate check per object as it
// goes) onto a tape (json_tape.h). A reader of a large file takes the
// elements of its large arrays as they come, so that the tape never holds
// them all; a small input may be had as a tree instead.

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "standin/files/json_tape.h"

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

// A reader that takes the elements of arrays in the top-level object one by
// one, as the strict reader comes to the end of each.
class JsonElementReader {
public:
    // Whether the elements of the array under key in the top-level object go
    // to element() rather than onto the tape.
    virtual bool takesElements(std::string_view key) = 0;
    // One element of such an array, whole, the index-th; the tape drops it
    // once this returns.
    virtual void element(std::string_view key, const TapeValue& element, std::size_t index) = 0;

protected:
    ~JsonElementReader() = default;
};

struct StrictJsonOptions {
    bool comments = false;  // "//" and "/* */" count as blanks
    ReadProgress progress;  // told how far the read has come
    JsonElementReader* elements = nullptr;
};

// Reads text[begin, end) as one JSON value onto a tape that refers to text.
// Throws StrictJsonError; for a value nested deeper than kDeepestJsonNesting,
// of kind TooDeep: "line 1, column 514: arrays and objects nest more than 512
// deep". What an element reader throws goes through as it is.
JsonTape readStrictJson(const std::string& text, std::size_t begin = 0, std::size_t end = std::string::npos,
                        const StrictJsonOptions& options = {});

// The same value as a tree.
nlohmann::ordered_json parseStrictJson(const std::string& text, std::size_t begin = 0,
                                       std::size_t end = std::string::npos, const ReadProgress& progress = {},
                                       bool comments = false);

}  // namespace nimbrel
