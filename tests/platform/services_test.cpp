#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/services.h"

namespace {

// Puts the process-wide host settings back, whatever a test did to them.
class ServicesTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SetErrorReportObserver(nullptr);
        SetOutsideServicesAvailable(true);
    }
};

template <class Holder>
class ServiceLifetimeTest : public ServicesTest {};
using Holders = ::testing::Types<ErrorServiceRef, RunStateServiceRef>;
TYPED_TEST_SUITE(ServiceLifetimeTest, Holders);

TYPED_TEST(ServiceLifetimeTest, CreatedOnFirstReferenceReleasedOnLast) {
    const uint32_t oleBefore = OleInitializeCount();
    IUnknown* service = nullptr;
    {
        TypeParam first;
        ASSERT_NE(first.Get(), nullptr);
        service = first.Get();
        EXPECT_EQ(OleInitializeCount(), oleBefore + 1);
        {
            TypeParam second;
            EXPECT_EQ(second.Get(), first.Get());
            EXPECT_EQ(OleInitializeCount(), oleBefore + 1);
        }
        // The singleton holds one reference however many holders share it;
        // this test takes a second one to watch the last release.
        EXPECT_EQ(service->AddRef(), 2u);
    }
    EXPECT_EQ(OleInitializeCount(), oleBefore);
    EXPECT_EQ(service->Release(), 0u);  // the singleton let go of its own
}

TYPED_TEST(ServiceLifetimeTest, UnavailableServiceGivesNullButBalancesOle) {
    const uint32_t oleBefore = OleInitializeCount();
    {
        TypeParam existing;
        SetOutsideServicesAvailable(false);
        TypeParam sharing;  // an existing service is not affected
        EXPECT_EQ(sharing.Get(), existing.Get());
    }
    {
        TypeParam holder;
        EXPECT_EQ(holder.Get(), nullptr);
        EXPECT_EQ(OleInitializeCount(), oleBefore + 1);
    }
    EXPECT_EQ(OleInitializeCount(), oleBefore);
    SetOutsideServicesAvailable(true);
    TypeParam later;
    EXPECT_NE(later.Get(), nullptr);
}

TEST_F(ServicesTest, ReportsReachTheObserverAcrossRecreation) {
    auto* sender = reinterpret_cast<IDispatch*>(this);  // never called through
    std::vector<std::string> reports;
    SetErrorReportObserver([&](IDispatch* from, int32_t code, const std::string& text) {
        reports.push_back((from == sender ? "sender " : "null ") + std::to_string(code) + " " +
                          text);
    });
    EXPECT_EQ(ErrorServiceRef().Get()->Report(sender, -2147352566, "Out of present range."), S_OK);
    EXPECT_EQ(ErrorServiceRef().Get()->Report(nullptr, 7, "block text"), S_OK);
    SetErrorReportObserver(nullptr);
    EXPECT_EQ(ErrorServiceRef().Get()->Report(nullptr, 1, "dropped"), S_OK);
    EXPECT_EQ(reports, (std::vector<std::string>{"sender -2147352566 Out of present range.",
                                                 "null 7 block text"}));
}

TEST_F(ServicesTest, ObserverMayReplaceItselfOrThrow) {
    int calls = 0;
    SetErrorReportObserver([&calls](IDispatch*, int32_t, const std::string&) {
        ++calls;
        SetErrorReportObserver(nullptr);  // runs while it is being called
    });
    ErrorServiceRef service;
    EXPECT_EQ(service.Get()->Report(nullptr, 1, "a"), S_OK);
    EXPECT_EQ(service.Get()->Report(nullptr, 1, "b"), S_OK);
    EXPECT_EQ(calls, 1);

    SetErrorReportObserver(
        [](IDispatch*, int32_t, const std::string&) { throw std::runtime_error("host failure"); });
    EXPECT_EQ(service.Get()->Report(nullptr, 1, "c"), E_FAIL);
}

}  // namespace
