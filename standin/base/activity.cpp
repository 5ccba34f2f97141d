#include "standin/base/activity.h"

#include <cstdio>
#include <cstring>

namespace nimbrel {
namespace {

ActivityNote ownNote;
ActivityNote* note = &ownNote;

}  // namespace

void noteActivity(const std::string& what) {
    std::snprintf(note->text, sizeof note->text, "%s", what.c_str());
}

const ActivityNote& currentActivity() {
    return *note;
}

void keepActivityIn(ActivityNote* where) {
    if (where == nullptr) {
        std::memcpy(ownNote.text, note->text, sizeof ownNote.text);
        note = &ownNote;
        return;
    }
    if (where != note) std::memcpy(where->text, note->text, sizeof where->text);
    note = where;
}

}  // namespace nimbrel
