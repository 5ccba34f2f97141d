#pragma once
// What the check's host hands out for the plug-in to hold only as its
// contract says: a text good until the caller's next call into the host
// (host_call_contract.h's TextUntilNextHostCall), and a pointer only to be
// tested against null (HostPointer). Each text is a copy on pages of its own,
// read-only while it lasts and unreadable once it has ended; the pointer
// points into a page no one may touch. A write into a text, a read of one
// after it ended, or a read through the pointer ends the process at once,
// during the call that made it.

namespace nimbrel::check {

// A copy of text that lasts until endHandedOutTexts; null for null.
const char* handOutText(const char* text);
// Ends every text handed out so far: from now on a read of one faults.
void endHandedOutTexts();
// A pointer of the host's, not null, that nothing may be read through.
const void* opaqueHostPointer();

// From now on, a fault in one of those texts or behind that pointer first
// writes the line "fault <what happened>" to the open file descriptor.
void noteFaultsInHandedOutMemory(int descriptor);

}  // namespace nimbrel::check
