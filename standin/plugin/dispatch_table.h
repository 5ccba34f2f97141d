#pragma once
// What the stand-in can tell of a plug-in object's dispatch table beyond the
// three slots the host calls: a compiler that gives a virtual destructor two
// slots (GCC, Clang, MinGW) leaves execute in slot 2 and initPlugin in slot 3,
// so that the host's calls reach the wrong functions.

#include <cstddef>

#include "standin/plugin/plugin_runner.h"

namespace nimbrel {

// How many entries of the object's table right after the host's three point
// into the module's code too (at most two are looked at); 0 when none does,
// or when the table does not lie in the module, where the stand-in cannot
// tell.
std::size_t slotsPastTheHosts(const PluginModule& module, const void* object);

}  // namespace nimbrel
