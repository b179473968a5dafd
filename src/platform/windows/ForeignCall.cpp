#include "platform/ForeignCall.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

// This toolchain has no __try. A vectored exception handler, present only while
// a guarded call runs, sees a fault of the guarded thread first and resumes that
// thread in a landing function, which jumps back into the guard with
// __builtin_longjmp. The dispatcher itself finishes normally (the handler
// returns), so nothing of the system's is left half done. Each guarded thread
// uses a slot of its own; slots live in static memory with nothing to destroy.
namespace {
constexpr LONG Idle = 0;
constexpr LONG Calling = 1;
constexpr LONG Faulted = 2;

constexpr DWORD MsvcCppException = 0xE06D7363;

struct tGuardSlot {
  std::atomic<DWORD> Thread;  // 0 while free
  volatile LONG State;
  volatile DWORD FaultCode;
  void* volatile Frame;
  void* Jump[5];
#ifndef _WIN64
  // The 32-bit frame-based handler chain, as it was before the call.
  void* volatile ExceptionList;
#endif
};

constexpr int SlotCount = 64;
tGuardSlot Slots[SlotCount];

tGuardSlot* ClaimSlot() {
  const DWORD thread = GetCurrentThreadId();
  for (;;) {
    for (auto& slot : Slots) {
      DWORD free = 0;
      if (slot.Thread.compare_exchange_strong(free, thread)) return &slot;
    }
    Sleep(0);  // more threads in the library at once than slots: wait for one
  }
}

tGuardSlot* SlotOfThisThread(LONG state) {
  const DWORD thread = GetCurrentThreadId();
  for (auto& slot : Slots)
    if (slot.Thread.load(std::memory_order_relaxed) == thread && slot.State == state) return &slot;
  return nullptr;
}

// Error severity, but not a C++ exception that the library's own code catches.
bool IsFault(DWORD code) {
  return (code >> 30) == 3 && code != MsvcCppException;
}

[[noreturn]] void LandAfterFault() {
  __builtin_longjmp(SlotOfThisThread(Faulted)->Jump, 1);
}

// The landing runs below the faulting frame, on stack the dispatcher has just
// used; after a stack overflow, just below the guard's own frame instead.
void SendToLanding(CONTEXT& context, const tGuardSlot& slot, DWORD code) {
#ifdef _WIN64
  const std::uintptr_t faultStack = context.Rsp;
#else
  const std::uintptr_t faultStack = context.Esp;
#endif
  const std::uintptr_t below = code == EXCEPTION_STACK_OVERFLOW
                                   ? reinterpret_cast<std::uintptr_t>(slot.Frame) - 1024
                                   : faultStack - 256;
  // As if called: an aligned stack less the return address.
  const std::uintptr_t stack = (below & ~std::uintptr_t{15}) - sizeof(void*);
#ifdef _WIN64
  context.Rsp = stack;
  context.Rip = reinterpret_cast<std::uintptr_t>(&LandAfterFault);
#else
  context.Esp = stack;
  context.Eip = reinterpret_cast<std::uintptr_t>(&LandAfterFault);
#endif
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  if (!IsFault(code)) return EXCEPTION_CONTINUE_SEARCH;
  tGuardSlot* slot = SlotOfThisThread(Calling);
  if (slot == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  slot->State = Faulted;
  slot->FaultCode = code;
  SendToLanding(*exception->ContextRecord, *slot, code);
  return EXCEPTION_CONTINUE_EXECUTION;
}

class tVectoredHandler {
 public:
  tVectoredHandler() : Handle(AddVectoredExceptionHandler(1, OnException)) {}
  ~tVectoredHandler() {
    if (Handle != nullptr) RemoveVectoredExceptionHandler(Handle);
  }
  tVectoredHandler(const tVectoredHandler&) = delete;
  tVectoredHandler& operator=(const tVectoredHandler&) = delete;

 private:
  void* Handle;
};

#ifndef _WIN64
// The head of the chain is the first word of the thread's information block.
void* ExceptionListHead() {
  void* head = nullptr;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetExceptionListHead(void* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

// False when the call faulted. Everything read after the second return is in
// the slot's memory, never only in a register.
__attribute__((noinline)) bool CallInSlot(tGuardSlot* slot, tForeignEntry entry, void* context) {
  tGuardSlot* volatile guarded = slot;
  guarded->Frame = __builtin_frame_address(0);
#ifndef _WIN64
  guarded->ExceptionList = ExceptionListHead();
#endif
  if (__builtin_setjmp(guarded->Jump) == 0) {
    guarded->State = Calling;
    entry(context);
    guarded->State = Idle;
    return true;
  }
#ifndef _WIN64
  // Handlers the library registered lie in the abandoned part of the stack.
  SetExceptionListHead(guarded->ExceptionList);
#endif
  guarded->State = Idle;
  return false;
}
}  // namespace

tForeignCallOutcome RunForeignCall(tForeignEntry Entry, void* Context) noexcept {
  tGuardSlot* slot = ClaimSlot();
  tForeignCallOutcome outcome;
  {
    const tVectoredHandler handler;
    try {
      outcome.Completed = CallInSlot(slot, Entry, Context);
      if (!outcome.Completed) outcome.FaultCode = slot->FaultCode;
    } catch (...) {
      outcome = {false, 0};
    }
  }
  slot->State = Idle;
  slot->Thread.store(0);
  return outcome;
}
