#pragma once
// What the check's host hands out for the plug-in to hold only as its
// contract says: a text good until the caller's next call into the host
// (host_call_contract.h's TextUntilNextHostCall), and a pointer only to be
// tested against null (HostPointer). Each text is a copy on pages of its own,
// read-only while it lasts and unreadable once it has ended; the pointer
// points into a page no one may touch. A write into a text, a read of one
// after it ended, or a read through the pointer ends the process at once,
// during the call that made it; so does a buffer the plug-in gives the host
// that is smaller than its contract states, where it ends at a page no one
// may touch.

namespace nimbrel::check {

// A copy of text that lasts until endHandedOutTexts; null for null.
const char* handOutText(const char* text);
// Ends every text handed out so far: from now on a read of one faults.
void endHandedOutTexts();
// A pointer of the host's, not null, that nothing may be read through.
const void* opaqueHostPointer();

// While it lasts, the host on this thread touches a buffer the plug-in gave
// it, as far as the contract says; a fault then is the buffer's being
// smaller, which line names ("it gave ... a buffer smaller than ...").
class TouchingBuffer {
public:
    explicit TouchingBuffer(const char* line);
    ~TouchingBuffer();
    TouchingBuffer(const TouchingBuffer&) = delete;
    TouchingBuffer& operator=(const TouchingBuffer&) = delete;
};

// From now on, a fault in one of those texts, behind that pointer or in a
// buffer being touched first writes the line "fault <what happened>" to the
// open file descriptor.
void noteFaultsInHandedOutMemory(int descriptor);

}  // namespace nimbrel::check
