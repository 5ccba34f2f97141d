#pragma once
// Marks what a module exports; everything else is built hidden.

#if defined(_WIN32)
#define KELVANE_EXPORT __declspec(dllexport)
#else
#define KELVANE_EXPORT __attribute__((visibility("default")))
#endif

// A plain, undecorated exported function.
#define KELVANE_C_EXPORT extern "C" KELVANE_EXPORT

// The plug-in's classes are exported by the plug-in itself; a host that
// includes their declarations sees them plain. MinGW would export their type
// information too: there the module-definition file made from
// plugin/module_exports.txt names every export instead.
#if defined(KELVANE_BUILDING_PLUGIN) && (!defined(_WIN32) || defined(_MSC_VER))
#define KELVANE_PLUGIN_API KELVANE_EXPORT
#else
#define KELVANE_PLUGIN_API
#endif
