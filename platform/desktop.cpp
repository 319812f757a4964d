#include "platform/desktop.h"

#include <atomic>

namespace {
std::atomic<IDesktop*> g_desktop{nullptr};
}

IDesktop* Desktop() {
    return g_desktop.load(std::memory_order_acquire);
}

void SetDesktop(IDesktop* desktop) {
    g_desktop.store(desktop, std::memory_order_release);
}
