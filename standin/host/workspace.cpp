#include "standin/host/workspace.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace nimbrel {

std::string VolumeMap::name() const {
    const auto begin = nameStorage.begin() + static_cast<std::ptrdiff_t>(std::min(nameOffset, nameStorage.size()));
    return std::string(begin, std::find(begin, nameStorage.end(), '\0'));
}

void VolumeMap::setName(const std::string& name, std::size_t capacity) {
    nameStorage.assign(std::max<std::size_t>(capacity, 1), '\0');
    nameOffset = 0;
    std::size_t length = std::min(name.size(), nameStorage.size() - 1);
    std::memcpy(nameStorage.data(), name.data(), length);
}

Parameter Parameter::ofInteger(int32_t value) {
    Parameter p;
    p.kind = Kind::Integer;
    p.integer = value;
    return p;
}

Parameter Parameter::ofFloat(float value) {
    Parameter p;
    p.kind = Kind::Float;
    p.real = value;
    return p;
}

Parameter Parameter::ofText(std::string value) {
    Parameter p;
    p.kind = Kind::Text;
    p.text = std::move(value);
    return p;
}

std::string documentTypeText(int32_t type) {
    switch (type) {
        case 1:
            return "FMR";
        case 2:
            return "DMR";
        case 3:
            return "VMR";
        case 4:
            return "SRF";
        default:
            return "";
    }
}

}  // namespace nimbrel
