#pragma once
// The two outside services every block of a process shares: the error service,
// which receives (block, code, message) for every nonzero status, and the
// run-state service, asked before each event delivery whether firing is halted.
//
// Each is a process-wide singleton with a plain reference count: the first
// reference initialises the object platform (OleInitialize) and creates the
// default in-process implementation; releasing the last reference releases the
// implementation and, if the initialisation succeeded, uninitialises. Blocks
// hold their references through ErrorServiceRef and RunStateServiceRef.
//
// The default implementations let a host watch and steer: reports go to the
// observer set with SetErrorReportObserver, and the run-state service answers
// from the flag set with SetFiringHalted. Both settings belong to the process,
// not to a service instance, so they survive the services being destroyed and
// created again.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/com.h"

class IErrorService : public IUnknown {
  public:
    // Takes a report of a nonzero status of `sender` (the block's own dispatch
    // interface). S_OK when the report was taken; a failure (callers ignore it)
    // when the receiver could not take it.
    virtual HRESULT Report(IDispatch* sender, int32_t code, const std::string& message) = 0;
};

class IRunStateService : public IUnknown {
  public:
    // Writes TRUE (1) to *flag when event firing is halted, FALSE (0) when not,
    // and returns S_OK; E_POINTER when `flag` is null.
    virtual HRESULT IsHalted(int32_t* flag) = 0;
};

// Counted initialisation of the object platform for the process: S_OK for the
// call that initialises it, S_FALSE when it already is; either result must be
// balanced by one OleUninitialize. OleUninitialize without a matching call does
// nothing.
HRESULT OleInitialize();
void OleUninitialize();
// How many OleInitialize calls are not yet balanced (for hosts and tests).
uint32_t OleInitializeCount();

// One reference on a process-wide service, taken on construction and released
// on destruction. Get() is the service, or null when it could not be created;
// a block then behaves as if no report were taken and firing were never halted.
// Get() stays valid for the holder's lifetime.
template <class Service>
class ServiceRef {
  public:
    ServiceRef();
    ~ServiceRef();
    ServiceRef(const ServiceRef&) = delete;
    ServiceRef& operator=(const ServiceRef&) = delete;

    Service* Get() const { return service_; }

  private:
    Service* service_;
};

using ErrorServiceRef = ServiceRef<IErrorService>;
using RunStateServiceRef = ServiceRef<IRunStateService>;
extern template class ServiceRef<IErrorService>;
extern template class ServiceRef<IRunStateService>;

using ErrorReportObserver = std::function<void(IDispatch*, int32_t, const std::string&)>;

// Sets the callback the default error service hands each report to; an empty
// function clears it (reports are then taken and dropped). The callback runs
// inside the reporting block's computation and may set or clear the observer.
// An exception it throws is caught and turns the report's result into E_FAIL.
void SetErrorReportObserver(ErrorReportObserver observer);

// Sets the flag the default run-state service reports (initially not halted).
void SetFiringHalted(bool halted);
bool FiringHalted();

// Test hook: while false, a service created from now on cannot be created (its
// holders' Get() is null). A service that already exists is not affected.
// Initially true.
void SetOutsideServicesAvailable(bool available);
