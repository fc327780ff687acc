// Multibyte string routines of the stand-in, in the manner of the Windows C
// runtime: a lead byte and the byte after it form one character, so a trail
// byte is never matched as a character of its own.
#include <atomic>
#include <cctype>

#include "platform/standin/hook_state.h"
#include "platform/standin/standin_control.h"
#include "platform/standin/windows_standin.h"

namespace {

unsigned char FoldCase(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

}  // namespace

namespace standin {

namespace state {
std::atomic<unsigned> codePage{0};
}  // namespace state

unsigned CodePage() { return state::codePage.load(); }

bool IsLeadByte(unsigned char byte) {
    if (state::codePage.load() != 932) return false;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace standin

// A lead byte takes the byte after it even when that is the terminator, and
// the search goes on behind it, as Wine's msvcrt does: a name that
// ends in a lead byte is read past its end unless a second terminator follows.
unsigned char* _mbsrchr(const unsigned char* text, unsigned int character) {
    const unsigned char* found = nullptr;
    for (const unsigned char* p = text;; ++p) {
        if (standin::IsLeadByte(*p)) {
            if (character == (static_cast<unsigned>(p[0]) << 8 | p[1])) found = p;
            ++p;
            continue;
        }
        if (*p == character) found = p;
        if (*p == 0) break;
    }
    return const_cast<unsigned char*>(found);
}

int _mbsicmp(const unsigned char* left, const unsigned char* right) {
    for (;;) {
        unsigned a = *left++;
        unsigned b = *right++;
        if (standin::IsLeadByte(static_cast<unsigned char>(a)) && *left != 0) a = (a << 8) | *left++;
        else a = FoldCase(static_cast<unsigned char>(a));
        if (standin::IsLeadByte(static_cast<unsigned char>(b)) && *right != 0) b = (b << 8) | *right++;
        else b = FoldCase(static_cast<unsigned char>(b));
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
    }
}

unsigned char* _mbsnbcpy(unsigned char* destination, const unsigned char* source, size_t count) {
    unsigned char* out = destination;
    while (count > 0) {
        --count;
        if (standin::IsLeadByte(*source)) {
            *out++ = *source++;
            if (count == 0) {
                out[-1] = 0;  // no room for the trail byte: drop the lead byte
                break;
            }
            --count;
            if ((*out++ = *source++) == 0) {
                out[-2] = 0;  // a lead byte at the end of the string
                break;
            }
        } else if ((*out++ = *source++) == 0) {
            break;
        }
    }
    while (count > 0) {
        *out++ = 0;
        --count;
    }
    return destination;
}
