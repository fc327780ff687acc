#include "tests/windows/stdcall_call.h"

// uint32_t TorvaCallMeasured(function, arguments, count, result, preserved):
// returns the number of bytes by which the stack pointer rose across the call,
// that is the argument bytes the callee removed itself. The callee-saved
// registers are loaded with markers before the call and compared after it
// (EBP is checked by the frame itself: everything after the call goes
// through it).
extern "C" uint32_t TorvaCallMeasured(const void* function, const uint32_t* arguments, uint32_t count,
                                      uint32_t* result, uint32_t* preserved);

asm(R"(
    .text
    .globl _TorvaCallMeasured
_TorvaCallMeasured:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp              # -16(%ebp): the stack pointer at the call
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  movl %esp, -16(%ebp)
    movl $0x5EB0C0DE, %ebx
    movl $0x51DE5AFE, %esi
    movl $0x0D15EA5E, %edi
    call *8(%ebp)
    xorl %ecx, %ecx
    cmpl $0x5EB0C0DE, %ebx
    jne 3f
    cmpl $0x51DE5AFE, %esi
    jne 3f
    cmpl $0x0D15EA5E, %edi
    jne 3f
    movl $1, %ecx
3:  movl 20(%ebp), %edx
    movl %eax, (%edx)
    movl 24(%ebp), %edx
    movl %ecx, (%edx)
    movl %esp, %eax
    subl -16(%ebp), %eax
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace torvatest {

MeasuredCall CallMeasured(const void* function, const std::vector<uint32_t>& arguments) {
    uint32_t result = 0;
    uint32_t preserved = 0;
    const uint32_t removed = TorvaCallMeasured(function, arguments.data(), static_cast<uint32_t>(arguments.size()),
                                               &result, &preserved);
    return MeasuredCall{result, removed, preserved != 0};
}

}  // namespace torvatest
