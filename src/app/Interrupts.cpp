// Signal handlers of the programs: no cut or temporary output is left behind.
#include "app/Interrupts.h"

#include <csignal>
#include <cstdio>

namespace {

// Set once by HandleInterrupts, before the handlers are installed.
TempSlot* Slots_ = nullptr;
size_t Count_ = 0;
std::atomic<bool>* Stop_ = nullptr;

extern "C" void OnSignal(int Signal) {
    if (Signal == SIGINT && Stop_ != nullptr && !Stop_->exchange(true)) {
        std::signal(SIGINT, OnSignal);  // some hosts reset the handler on delivery
        return;
    }
    for (size_t k = 0; k < Count_; k++)
        if (Slots_[k].Busy.load()) std::remove(Slots_[k].Name);
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}

}  // namespace

void HandleInterrupts(TempSlot* Slots, size_t Count, std::atomic<bool>* Stop) {
    Slots_ = Slots;
    Count_ = Count;
    Stop_ = Stop;
    // A signal that the program was started to ignore (as a shell without job
    // control starts background commands) stays ignored, as Unix tools do.
    for (const int Signal : {SIGINT, SIGTERM})
        if (std::signal(Signal, OnSignal) == SIG_IGN) std::signal(Signal, SIG_IGN);
}
