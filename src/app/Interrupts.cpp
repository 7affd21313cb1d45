// Signal handlers of the programs: no cut or temporary output is left behind.
#include "app/Interrupts.h"

#include <csignal>
#include <cstdio>

namespace {

constexpr int Handled[] = {SIGINT, SIGTERM,
#ifdef SIGHUP
                           SIGHUP,
#endif
#ifdef SIGPIPE
                           SIGPIPE
#endif
};

// Set once by HandleInterrupts, before the handlers are installed.
TempSlot* Slots_ = nullptr;
size_t Count_ = 0;
std::atomic<bool>* Stop_ = nullptr;
// The signal that EndIfSignalled acts on, 0 while none came.
std::atomic<int> Ending{0};

// Closes the slot and removes its file. Wait: whether to wait while another
// thread creates the file; without, a file being created is removed by name
// (on this thread, which the signal interrupted, its creation never ends).
void Close(TempSlot& Slot, bool Wait) {
    for (;;) {
        int Now = Slot.Now.load();
        if (Now == TempSlot::Creating && Wait) continue;
        if (!Slot.Now.compare_exchange_weak(Now, TempSlot::Closed)) continue;
        if (Now == TempSlot::Held || Now == TempSlot::Creating) std::remove(Slot.Name);
        return;
    }
}

// Closes every slot and raises Signal again with its default action, which
// ends the process: at once, or, inside the handler of that signal, as soon
// as the handler returns.
void End(int Signal, bool Wait) {
    for (size_t k = 0; k < Count_; k++) Close(Slots_[k], Wait);
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}

extern "C" void OnSignal(int Signal) {
    if (Stop_ == nullptr) {
        End(Signal, false);
        return;
    }
    std::signal(Signal, OnSignal);  // some hosts reset the handler on delivery
    if (Signal == SIGINT && !Stop_->exchange(true)) return;
    Ending.store(Signal);
}

void Install() {
    for (const int Signal : Handled)
        if (std::signal(Signal, OnSignal) == SIG_IGN) std::signal(Signal, SIG_IGN);
}

}  // namespace

void HandleInterrupts(TempSlot* Slots, size_t Count) {
    Slots_ = Slots;
    Count_ = Count;
    Stop_ = nullptr;
    Install();
}

void HandleInterrupts(TempSlot* Slots, size_t Count, std::atomic<bool>* Stop) {
    Slots_ = Slots;
    Count_ = Count;
    Stop_ = Stop;
    Install();
}

void EndIfSignalled() {
    const int Signal = Ending.load();
    if (Signal == 0) return;
    End(Signal, true);
    std::_Exit(128 + Signal);  // in case the signal could not end the process
}
