#pragma once
// Reads a fuzz target's input from the front, value by value. Past the end
// every value reads as zero and every text as empty, so any input is a valid
// one.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kelvane::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return position_ >= size_; }

    uint8_t byte() { return empty() ? 0 : data_[position_++]; }

    // Multi-byte values are little-endian. Each read is a statement of its own:
    // the order in which a compiler evaluates operands is not fixed, and an
    // input must read the same under every compiler.
    uint16_t u16() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | byte() << 8);
    }

    uint32_t u32() {
        uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) value |= static_cast<uint32_t>(byte()) << shift;
        return value;
    }

    uint64_t u64() {
        uint64_t low = u32();
        return low | static_cast<uint64_t>(u32()) << 32;
    }

    int32_t i32() { return static_cast<int32_t>(u32()); }

    float f32() {
        uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    double f64() {
        uint64_t bits = u64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A text of a length taken from the input (two bytes, up to maxLength),
    // any bytes, zeros included.
    std::string text(std::size_t maxLength) {
        const std::size_t wanted = u16() % (maxLength + 1);
        return take(wanted);
    }

    // What is left, up to maxLength bytes.
    std::string rest(std::size_t maxLength) { return take(maxLength); }

private:
    std::string take(std::size_t wanted) {
        const std::size_t available = empty() ? 0 : size_ - position_;
        const std::size_t length = wanted < available ? wanted : available;
        std::string text(reinterpret_cast<const char*>(data_ + position_), length);
        position_ += length;
        return text;
    }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Aborts with a message when a property does not hold: the fuzzer keeps the
// input that did it.
[[noreturn]] void violated(const char* target, const std::string& what);

}  // namespace kelvane::fuzz

#define KELVANE_FUZZ_CHECK(target, condition, what)                \
    do {                                                           \
        if (!(condition)) ::kelvane::fuzz::violated(target, what); \
    } while (false)
