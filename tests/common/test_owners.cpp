// The owners of COM references and clean-ups: every reference taken is given back exactly
// once, whatever way the owner goes (moved, refilled through Put, reset, detached).
#include <windows.h>

#include <gtest/gtest.h>

#include "common/com_ptr.h"
#include "common/scope_guard.h"

namespace {

// Counts its references; never deleted (it lives on the stack).
class Counted : public IUnknown {
  public:
    LONG references = 1;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown ? this : nullptr;
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
};

TEST(ComPtr, EveryReferenceIsGivenBackOnce) {
    Counted a, b;
    {
        ComPtr<IUnknown> first(&a); // takes over a's one reference
        ComPtr<IUnknown> shared = ComPtr<IUnknown>::Share(&a);
        EXPECT_EQ(2, a.references);
        ComPtr<IUnknown> moved(std::move(shared));
        EXPECT_FALSE(shared.Valid());
        EXPECT_EQ(2, a.references);
        // Refilled through the out-parameter form: the old reference goes first.
        ASSERT_EQ(S_OK, b.QueryInterface(IID_IUnknown, moved.PutVoid()));
        EXPECT_EQ(1, a.references);
        EXPECT_EQ(2, b.references);
        ComPtr<IUnknown> queried;
        EXPECT_EQ(E_NOINTERFACE, first.Query(IID_IDispatch, &queried));
        EXPECT_FALSE(queried.Valid());
        EXPECT_EQ(S_OK, first.Query(IID_IUnknown, &queried));
        EXPECT_EQ(2, a.references);
        queried = std::move(moved); // drops a's, holds b's
        EXPECT_EQ(1, a.references);
        IUnknown* kept = queried.Detach();
        EXPECT_EQ(&b, kept);
        kept->Release();
        EXPECT_EQ(1, b.references);
        EXPECT_EQ(E_POINTER, ComPtr<IUnknown>().Query(IID_IUnknown, &queried));
    }
    EXPECT_EQ(0, a.references);
    EXPECT_EQ(1, b.references);
}

TEST(ScopeGuard, RunsOnceWhenLeftUnlessDismissed) {
    int runs = 0;
    {
        auto guard = MakeScopeGuard([&runs] { ++runs; });
        auto moved = std::move(guard);
    }
    EXPECT_EQ(1, runs);
    {
        auto guard = MakeScopeGuard([&runs] { ++runs; });
        guard.Dismiss();
    }
    EXPECT_EQ(1, runs);
}

} // namespace
