// The host functions the stand-in provides for real, over the current
// session's workspace. Called outside a session they answer zero.

#include "standin/host/served_functions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_contract.h"
#include "standin/host/host_call_contracts.h"
#include "standin/host/host_session.h"

namespace nimbrel {
namespace {

HostSession* session() {
    return HostSession::current();
}

std::string textOrNull(const char* text) {
    return text != nullptr ? std::string(text) : std::string("(null)");
}

void trace(const std::string& call) {
    if (session() != nullptr) session()->recordCall(call);
}

const Parameter* findParameter(const char* name) {
    if (session() == nullptr || name == nullptr) return nullptr;
    session()->noteParameterRead(name);
    const auto& parameters = session()->workspace().parameters;
    auto found = parameters.find(name);
    return found != parameters.end() ? &found->second : nullptr;
}

bool currentIsVMR() {
    const Workspace& w = session()->workspace();
    return w.currentDocument >= 0 && static_cast<size_t>(w.currentDocument) < w.documents.size() &&
           w.documents[static_cast<size_t>(w.currentDocument)].type == kelvane::kDocumentVMR;
}

VolumeMap* readableMap(int32_t index) {
    Workspace& w = session()->workspace();
    if (index < 0 || static_cast<size_t>(index) >= w.maps.size()) return nullptr;
    const auto& nulls = w.hostile.nullRecordIndices;
    if (std::find(nulls.begin(), nulls.end(), index) != nulls.end()) return nullptr;
    if (session()->drawNullRecord()) return nullptr;
    return &w.maps[static_cast<size_t>(index)];
}

std::string parameterText(const Parameter& p) {
    switch (p.kind) {
        case Parameter::Kind::Integer:
            return std::to_string(p.integer);
        case Parameter::Kind::Float: {
            char text[64];
            std::snprintf(text, sizeof text, "%g", static_cast<double>(p.real));
            return text;
        }
        case Parameter::Kind::Text:
            return p.text;
    }
    return {};
}

}  // namespace

void traceUnprovided(const char* function) {
    if (session() == nullptr) return;
    session()->recordCall(function);
    if (session()->onUnprovidedCall) session()->onUnprovidedCall(function);
}

namespace served {

bool nbGetVersionOfNimbrel(int32_t* major, int32_t* minor, int32_t* release) {
    trace("nbGetVersionOfNimbrel");
    if (session() == nullptr) return false;
    const HostVersion& v = session()->workspace().version;
    if (major != nullptr) *major = v.major;
    if (minor != nullptr) *minor = v.minor;
    if (release != nullptr) *release = v.release;
    return true;
}

bool nbShowLogTab() {
    trace("nbShowLogTab");
    return session() != nullptr;
}

bool nbLogText(const char* text) {
    trace("nbLogText");
    if (session() == nullptr) return false;
    session()->addEvent(HostEvent::Kind::Log, textOrNull(text));
    return true;
}

bool nbMessageBox(const char* text) {
    trace("nbMessageBox");
    if (session() == nullptr) return false;
    session()->addEvent(HostEvent::Kind::Message, textOrNull(text));
    return true;
}

bool nbUpdateActiveWindow() {
    trace("nbUpdateActiveWindow");
    if (session() == nullptr) return false;
    session()->countRedraw();
    return true;
}

int32_t nbGetNumberOfDocsInWorkspace() {
    trace("nbGetNumberOfDocsInWorkspace");
    if (session() == nullptr) return 0;
    const Workspace& w = session()->workspace();
    return w.hostile.reportedDocumentCount.value_or(static_cast<int32_t>(w.documents.size()));
}

int32_t nbGetDocumentType(int32_t id) {
    trace("nbGetDocumentType(" + std::to_string(id) + ")");
    if (session() == nullptr) return 0;
    const auto& documents = session()->workspace().documents;
    if (id < 0 || static_cast<size_t>(id) >= documents.size()) return 0;
    return documents[static_cast<size_t>(id)].type;
}

const char* nbGetDocumentTypeName(int32_t id) {
    trace("nbGetDocumentTypeName(" + std::to_string(id) + ")");
    if (session() == nullptr) return nullptr;
    const auto& documents = session()->workspace().documents;
    if (id < 0 || static_cast<size_t>(id) >= documents.size()) return nullptr;
    const Document& document = documents[static_cast<size_t>(id)];
    if (document.typeNameIsNull) return nullptr;
    session()->typeNameBuffer = document.typeName.value_or(documentTypeText(document.type));
    return session()->typeNameBuffer.c_str();
}

int32_t nbGetIDOfCurrentDocument() {
    trace("nbGetIDOfCurrentDocument");
    if (session() == nullptr) return -1;
    return session()->workspace().currentDocument;
}

void* nbGetNRVMPsOfCurrentVMR(NRVMPsHeader* header) {
    trace("nbGetNRVMPsOfCurrentVMR");
    if (session() == nullptr || !currentIsVMR()) return nullptr;
    Workspace& w = session()->workspace();
    if (w.maps.empty() && !w.hostile.reportedMapCount) return nullptr;
    if (header != nullptr) {
        std::memset(header, 0, sizeof *header);
        header->mapCount = w.hostile.reportedMapCount.value_or(static_cast<int32_t>(w.maps.size()));
    }
    return &w.maps;
}

void* nbGetNRVMPOfCurrentVMR(int32_t index, NRVMPRecord* record) {
    trace("nbGetNRVMPOfCurrentVMR(" + std::to_string(index) + ")");
    if (session() == nullptr || record == nullptr) return nullptr;
    VolumeMap* map = readableMap(index);
    if (map == nullptr) return nullptr;
    *record = map->record;
    record->name = session()->workspace().hostile.nullMapNames ? nullptr : map->nameData();
    return map;
}

bool nbSetNRVMPParametersOfCurrentVMR(int32_t index, NRVMPRecord* record) {
    trace("nbSetNRVMPParametersOfCurrentVMR(" + std::to_string(index) + ")");
    if (session() == nullptr || record == nullptr) return false;
    session()->recordSet(index, *record);
    Workspace& w = session()->workspace();
    if (index < 0 || static_cast<size_t>(index) >= w.maps.size()) return false;
    VolumeMap& map = w.maps[static_cast<size_t>(index)];
    map.record = *record;
    map.record.name = nullptr;  // the model keeps the name in the map's own storage
    return true;
}

int32_t nbCreateNRVMPsForCurrentVMR(int32_t count, int32_t a2, int32_t a3, void* a4) {
    trace("nbCreateNRVMPsForCurrentVMR(" + std::to_string(count) + ", " + std::to_string(a2) + ", " +
          std::to_string(a3) + ", " + (a4 == nullptr ? "null" : "pointer") + ")");
    if (session() == nullptr || !currentIsVMR()) return 0;
    Workspace& w = session()->workspace();
    if (w.hostile.mapCreationFails || count < 1) return 0;
    for (int32_t i = 0; i < count; ++i) {
        VolumeMap map;
        map.setName("", w.mapNameCapacity);
        w.maps.push_back(std::move(map));
    }
    return count;
}

bool nbGetStringParameter(const char* name, char* buffer) {
    trace("nbGetStringParameter(" + textOrNull(name) + ")");
    if (buffer == nullptr) return false;
    const Parameter* parameter = findParameter(name);
    std::string text = parameter != nullptr ? parameterText(*parameter) : std::string();
    if (session() != nullptr && session()->workspace().hostile.unterminatedStrings) {
        // The whole buffer, as its contract states its size, with no terminator anywhere in it.
        const size_t size = statedBytes(HostFunctionId::nbGetStringParameter, 1);
        for (size_t i = 0; i < size; ++i) buffer[i] = i < text.size() && text[i] != '\0' ? text[i] : 'x';
        return true;
    }
    size_t length = std::min(text.size(), kelvane::kStringParameterSize - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return parameter != nullptr;
}

int32_t nbGetIntParameter(const char* name) {
    trace("nbGetIntParameter(" + textOrNull(name) + ")");
    const Parameter* parameter = findParameter(name);
    if (parameter == nullptr) return 0;
    switch (parameter->kind) {
        case Parameter::Kind::Integer:
            return parameter->integer;
        case Parameter::Kind::Float:
            return std::isfinite(parameter->real) && std::fabs(parameter->real) < 2147483648.0f
                       ? static_cast<int32_t>(parameter->real)
                       : 0;
        case Parameter::Kind::Text:
            return static_cast<int32_t>(std::strtol(parameter->text.c_str(), nullptr, 10));
    }
    return 0;
}

float nbGetFloatParameter(const char* name) {
    trace("nbGetFloatParameter(" + textOrNull(name) + ")");
    const Parameter* parameter = findParameter(name);
    if (parameter == nullptr) return 0.0f;
    switch (parameter->kind) {
        case Parameter::Kind::Integer:
            return static_cast<float>(parameter->integer);
        case Parameter::Kind::Float:
            return parameter->real;
        case Parameter::Kind::Text:
            return std::strtof(parameter->text.c_str(), nullptr);
    }
    return 0.0f;
}

}  // namespace served
}  // namespace nimbrel
