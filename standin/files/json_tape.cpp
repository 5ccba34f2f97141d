#include "standin/files/json_tape.h"

#include <algorithm>

namespace nimbrel {

using json = nlohmann::ordered_json;

TapeValue JsonTape::root() const {
    return {*this, 0};
}

void JsonTape::growText(std::size_t more) {
    const std::size_t capacity = std::max({textSize_ + more, 2 * textCapacity_, std::size_t{4096}});
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (textSize_ > 0) std::memcpy(grown.get(), texts_.get(), textSize_);
    texts_ = std::move(grown);
    textCapacity_ = capacity;
}

json TapeValue::scalar() const {
    switch (kind()) {
        case Kind::False:
        case Kind::True:
            return boolean();
        case Kind::Integer:
            return entry().integer;
        case Kind::Unsigned:
            return entry().whole;
        case Kind::Float:
            return entry().real;
        case Kind::String:
        case Kind::Key:
            return std::string(text());
        case Kind::Object:
            return json::object();
        case Kind::Array:
            return json::array();
        case Kind::Null:
            break;
    }
    return nullptr;
}

json TapeValue::toJson() const {
    json value = scalar();
    if (is_array()) {
        for (const TapeValue element : elements()) value.push_back(element.toJson());
    } else if (is_object()) {
        // Appended as they come: the ordered map's own insertion looks for
        // the key first, which would make a large object quadratic (the
        // strict reader has made sure that no key comes twice).
        auto& members = static_cast<json::object_t::Container&>(value.get_ref<json::object_t&>());
        for (const auto& [key, member] : this->members()) members.emplace_back(std::string(key), member.toJson());
    }
    return value;
}

std::size_t TapeValue::line() const {
    return tape_->source_.lineOf(tape_->source_, entry().ordinal);
}

TapeValue::Members TapeValue::members() const {
    return {*tape_, is_object() ? index_ + 1 : next(), next()};
}

TapeValue::Elements TapeValue::elements() const {
    return {*tape_, is_array() ? index_ + 1 : next(), next()};
}

}  // namespace nimbrel
