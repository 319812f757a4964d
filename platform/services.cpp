#include "platform/services.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace {

std::atomic<uint32_t> g_oleInitializeCount{0};
std::atomic<bool> g_firingHalted{false};
std::atomic<bool> g_servicesAvailable{true};

// Function-local so that a block created during static initialisation finds it
// constructed.
struct ObserverSlot {
    std::mutex mutex;
    ErrorReportObserver observer;
};
ObserverSlot& Observer() {
    static ObserverSlot slot;
    return slot;
}

class DefaultErrorService final : public RefCounted<IErrorService> {
  public:
    HRESULT Report(IDispatch* sender, int32_t code, const std::string& message) override {
        // A copy, called outside the lock: the observer may replace itself.
        ErrorReportObserver observer;
        {
            std::lock_guard lock(Observer().mutex);
            observer = Observer().observer;
        }
        if (!observer) return S_OK;
        // Nothing may unwind through a block's computation into the host.
        try {
            observer(sender, code, message);
        } catch (...) {
            return E_FAIL;
        }
        return S_OK;
    }
};

class DefaultRunStateService final : public RefCounted<IRunStateService> {
  public:
    HRESULT IsHalted(int32_t* flag) override {
        if (flag == nullptr) return E_POINTER;
        *flag = g_firingHalted.load() ? TRUE : FALSE;
        return S_OK;
    }
};

template <class Service>
ComPtr<Service> CreateDefaultService();
template <>
ComPtr<IErrorService> CreateDefaultService<IErrorService>() {
    return MakeCom<DefaultErrorService>();
}
template <>
ComPtr<IRunStateService> CreateDefaultService<IRunStateService>() {
    return MakeCom<DefaultRunStateService>();
}

template <class Service>
struct Singleton {
    std::mutex mutex;
    uint32_t references = 0;
    ComPtr<Service> instance;
    bool oleInitialised = false;
};
template <class Service>
Singleton<Service>& SingletonOf() {
    static Singleton<Service> singleton;
    return singleton;
}

}  // namespace

HRESULT OleInitialize() {
    return g_oleInitializeCount.fetch_add(1) == 0 ? S_OK : S_FALSE;
}

void OleUninitialize() {
    uint32_t count = g_oleInitializeCount.load();
    while (count > 0 && !g_oleInitializeCount.compare_exchange_weak(count, count - 1)) {
    }
}

uint32_t OleInitializeCount() {
    return g_oleInitializeCount.load();
}

template <class Service>
ServiceRef<Service>::ServiceRef() {
    Singleton<Service>& singleton = SingletonOf<Service>();
    std::lock_guard lock(singleton.mutex);
    if (singleton.references++ == 0) {
        singleton.oleInitialised = SUCCEEDED(OleInitialize());
        if (g_servicesAvailable.load()) singleton.instance = CreateDefaultService<Service>();
    }
    service_ = singleton.instance.Get();
}

template <class Service>
ServiceRef<Service>::~ServiceRef() {
    Singleton<Service>& singleton = SingletonOf<Service>();
    std::lock_guard lock(singleton.mutex);
    if (--singleton.references > 0) return;
    // A caller that took its own reference for the length of a delivery keeps
    // the object alive past this point; the singleton only drops its own.
    singleton.instance.Reset();
    if (singleton.oleInitialised) OleUninitialize();
    singleton.oleInitialised = false;
}

template class ServiceRef<IErrorService>;
template class ServiceRef<IRunStateService>;

void SetErrorReportObserver(ErrorReportObserver observer) {
    // The old observer dies outside the lock, in case what it holds calls back.
    ErrorReportObserver old;
    std::lock_guard lock(Observer().mutex);
    old.swap(Observer().observer);
    Observer().observer = std::move(observer);
}

void SetFiringHalted(bool halted) {
    g_firingHalted.store(halted);
}

bool FiringHalted() {
    return g_firingHalted.load();
}

void SetOutsideServicesAvailable(bool available) {
    g_servicesAvailable.store(available);
}
