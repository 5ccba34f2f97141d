#pragma once
// What the stand-in is doing now ("reading the workspace ws.json (20,000
// maps)"), for the line that ends a run out of memory or a run that is
// stopped. Noted by every part, read by the watch of the run
// (plugin/plugin_watch.h), without asking for memory.

#include <string>

namespace nimbrel {

// Where the note is kept: a plain record, so that the watch can keep it in
// memory that the run's child process shares with the stand-in's.
struct ActivityNote {
    char text[256] = "starting";
};

// Notes what the stand-in is doing, cut to the note's size.
void noteActivity(const std::string& what);

// The note now in use: the process's own, or the one keepActivityIn gave.
const ActivityNote& currentActivity();

// Keeps the note in where from now on, starting with what it says now; null
// goes back to the process's own note.
void keepActivityIn(ActivityNote* where);

}  // namespace nimbrel
