#include "platform/ForeignCall.h"

#include <windows.h>

// This toolchain has no __try/__except, so the guard is written out: the call
// is made from a frame of ours that carries an exception handler. The system
// consults it only after every frame of the library declined the exception,
// as it would an __except block: what the library raises and handles itself
// (a try...except of its own, IsBadReadPtr, a C++ exception it catches) never
// reaches it, and whatever escapes the library, of any code, stops there. The
// library's frames are unwound before the call returns here, so its own
// finally blocks and destructors run, and its locks are let go.
//
// A C++ exception of this compiler is not taken: the catch in RunForeignCall is.

#ifdef _WIN64
namespace {
// This compiler's C++ exceptions travel as these codes on 64-bit Windows.
bool IsOwnCppException(DWORD code) {
  return code == 0x20474343 || code == 0x21474343 || code == 0x22474343;
}
}  // namespace

// The guarded call, with a scope of the system's own __C_specific_handler
// around it: once the filter below takes the exception, that handler unwinds
// the library's frames and resumes at the landing, which returns false. The
// filter finds the code's destination in the frame, where the call stored it.
extern "C" bool KalvorCallWithinFrame(tForeignEntry Entry, void* Context, DWORD* Code);
extern "C" LONG KalvorForeignCallFilter(EXCEPTION_POINTERS* Exception, void* Frame);

asm(R"(
  .text
  .p2align 4
  .globl KalvorCallWithinFrame
  .def KalvorCallWithinFrame; .scl 2; .type 32; .endef
  .seh_proc KalvorCallWithinFrame
KalvorCallWithinFrame:
  subq $40, %rsp
  .seh_stackalloc 40
  .seh_endprologue
  movq %r8, 32(%rsp)
  movq %rcx, %rax
  movq %rdx, %rcx
.LKalvorCallStart:
  call *%rax
  movl $1, %eax
  nop
.LKalvorCallEnd:
  addq $40, %rsp
  ret
.LKalvorCallLanding:
  xorl %eax, %eax
  addq $40, %rsp
  ret
  .seh_handler __C_specific_handler, @except
  .seh_handlerdata
  .long 1
  .rva .LKalvorCallStart, .LKalvorCallEnd, KalvorForeignCallFilter, .LKalvorCallLanding
  .text
  .seh_endproc
)");

LONG KalvorForeignCallFilter(EXCEPTION_POINTERS* Exception, void* Frame) {
  const DWORD code = Exception->ExceptionRecord->ExceptionCode;
  if (IsOwnCppException(code)) return EXCEPTION_CONTINUE_SEARCH;
  **reinterpret_cast<DWORD**>(static_cast<char*>(Frame) + 32) = code;
  return EXCEPTION_EXECUTE_HANDLER;
}

#else
// 32-bit Windows keeps the handlers in a chain of registrations on the stack,
// its head the first word of the thread's information block. Ours lies in the
// guarding frame; the system hands its address to the handler.
namespace {
struct tFrameRegistration {
  // The system's part: these two first.
  tFrameRegistration* Previous;
  void* Handler;
  // Ours: where to return to, and where the code goes.
  void* Jump[5];
  DWORD* Code;
};

void* ChainHead() {
  void* head = nullptr;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(void* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
}  // namespace

// RtlUnwind runs the unwind handlers of every registration above the frame and
// unlinks them; it need not keep ebx, esi and edi, so they are kept here.
extern "C" void KalvorUnwindToFrame(void* Frame, EXCEPTION_RECORD* Record);
asm(R"(
  .text
  .p2align 4
  .globl _KalvorUnwindToFrame
  .def _KalvorUnwindToFrame; .scl 2; .type 32; .endef
_KalvorUnwindToFrame:
  pushl %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  pushl $0
  pushl 28(%esp)
  pushl $1f
  pushl 32(%esp)
  call *__imp__RtlUnwind@16
1:
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret
)");

namespace {
EXCEPTION_DISPOSITION __cdecl OnEscape(EXCEPTION_RECORD* Record, void* Frame, CONTEXT*, void*) {
  if (Record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  auto* registration = static_cast<tFrameRegistration*>(Frame);
  *registration->Code = Record->ExceptionCode;
  KalvorUnwindToFrame(Frame, Record);
  __builtin_longjmp(registration->Jump, 1);
}

// Everything read after the second return lives in the registration's memory.
__attribute__((noinline)) bool KalvorCallWithinFrame(tForeignEntry entry, void* context,
                                                     DWORD* code) {
  volatile tFrameRegistration registration;
  registration.Previous = static_cast<tFrameRegistration*>(ChainHead());
  registration.Handler = reinterpret_cast<void*>(&OnEscape);
  registration.Code = code;
  if (__builtin_setjmp(const_cast<void**>(registration.Jump)) == 0) {
    SetChainHead(const_cast<tFrameRegistration*>(&registration));
    entry(context);
    SetChainHead(registration.Previous);
    return true;
  }
  // The unwind left our registration at the head.
  SetChainHead(registration.Previous);
  return false;
}
}  // namespace
#endif

tForeignCallOutcome RunForeignCall(tForeignEntry Entry, void* Context) noexcept {
#ifndef _WIN64
  void* const head = ChainHead();
#endif
  try {
    DWORD code = 0;
    if (KalvorCallWithinFrame(Entry, Context, &code)) return {};
    return {false, static_cast<std::uint32_t>(code)};
  } catch (...) {
#ifndef _WIN64
    // Unwound past the registration without the system's unwind.
    SetChainHead(head);
#endif
    return {false, 0};
  }
}
