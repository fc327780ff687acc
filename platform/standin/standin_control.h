// Controls of the stand-in platform that only tests use: the code page of the
// multibyte string routines, and a hook that makes a chosen allocation fail.
#pragma once

#include <cstdint>

namespace standin {

// 0 (the default): every byte is a character of its own, which suits UTF-8
// file names. 932: bytes 0x81-0x9F and 0xE0-0xFC lead a double-byte
// character, whose trail byte may be any value, even '\\' or '.'.
void SetCodePage(unsigned codePage);
unsigned CodePage();
bool IsLeadByte(unsigned char byte);

// Makes the n-th allocation from now fail (n = 1: the very next one), counting
// GlobalAlloc and the nothrow forms of operator new alike. n = 0 disarms.
void FailAllocationAfter(long n);
// Allocations counted since the last FailAllocationAfter call.
long AllocationsSinceArm();

// Makes the next GlobalLock fail (return null without counting a lock).
void FailNextLock();

// Global blocks allocated and not yet freed, and how many of them are locked.
long LiveGlobalBlocks();
long LockedGlobalBlocks();

// RAII helper for tests: sets a code page and restores the previous one.
class CodePageScope {
public:
    explicit CodePageScope(unsigned codePage) : previous_(CodePage()) { SetCodePage(codePage); }
    ~CodePageScope() { SetCodePage(previous_); }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

private:
    unsigned previous_;
};

}  // namespace standin
