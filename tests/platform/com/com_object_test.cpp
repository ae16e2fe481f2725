#include <gtest/gtest.h>

#include "platform/com/class_registry.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "platform/com/unknown_base.h"

namespace {

struct IFoo : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{11111111-2222-3333-4444-555555555555}");
    virtual int Foo() = 0;

protected:
    ~IFoo() = default;
};

struct IBar : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{66666666-7777-8888-9999-AAAAAAAAAAAA}");
    virtual int Bar() = 0;

protected:
    ~IBar() = default;
};

struct IOther : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{12345678-1234-1234-1234-123456789ABC}");

protected:
    ~IOther() = default;
};

struct INone : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{00000000-0000-0000-0000-0000000000AA}");

protected:
    ~INone() = default;
};

constexpr CLSID kFooBarClass = com::MakeGuid("{0F0F0F0F-0000-0000-0000-000000000001}");

int g_liveObjects = 0;

class CFooBar : public CUnknown, public IFoo, public IBar {
public:
    CFooBar() : CUnknown(nullptr) { ++g_liveObjects; }
    ~CFooBar() override { --g_liveObjects; }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override {
        if (iid == IFoo::kIid) return GetInterface(static_cast<IFoo*>(this), ppv);
        if (iid == IBar::kIid) return GetInterface(static_cast<IBar*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(iid, ppv);
    }
    int Foo() override { return 1; }
    int Bar() override { return 2; }
};

TEST(ComObjectTest, LastReleaseDestroysTheObjectWhicheverInterfaceHoldsIt) {
    {
        ComPtr<IFoo> foo(new CFooBar);
        EXPECT_EQ(g_liveObjects, 1);
        ComPtr<IBar> bar;
        ASSERT_EQ(foo.As(&bar), S_OK);
        EXPECT_EQ(bar->Bar(), 2);
        foo.Reset();
        EXPECT_EQ(g_liveObjects, 1) << "the IBar reference keeps the object alive";
    }
    EXPECT_EQ(g_liveObjects, 0);
}

TEST(ComObjectTest, QueryInterfaceAnswersIUnknownWithOneIdentityAndRefusesOthers) {
    ComPtr<IFoo> foo(new CFooBar);
    ComPtr<IBar> bar = foo.As<IBar>();
    ComPtr<IUnknown> unknownFromFoo = foo.As<IUnknown>();
    ComPtr<IUnknown> unknownFromBar = bar.As<IUnknown>();
    ASSERT_TRUE(unknownFromFoo);
    EXPECT_EQ(unknownFromFoo.Get(), unknownFromBar.Get());

    void* raw = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(foo->QueryInterface(IOther::kIid, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(foo->QueryInterface(IFoo::kIid, nullptr), E_POINTER);
}

TEST(ComObjectTest, ComPtrCountsCopiesMovesAndDetach) {
    ComPtr<IFoo> a(new CFooBar);
    ComPtr<IFoo> b = a;
    ComPtr<IFoo> c = std::move(b);
    EXPECT_FALSE(b);
    IFoo* detached = c.Detach();
    a.Reset();
    EXPECT_EQ(g_liveObjects, 1) << "the detached reference is still owned";
    ComPtr<IFoo> d;
    d.Attach(detached);
    d.Reset();
    EXPECT_EQ(g_liveObjects, 0);
}

TEST(CoCreateInstanceTest, CreatesRegisteredClassesAndReportsMissingOnes) {
    RegisterComClass<CFooBar>(kFooBarClass);
    ComPtr<IBar> bar;
    ASSERT_EQ(
        CoCreateInstance(kFooBarClass, nullptr, CLSCTX_INPROC_SERVER, bar.ReleaseAndGetAddressOf()),
        S_OK);
    EXPECT_EQ(bar->Bar(), 2);
    bar.Reset();
    EXPECT_EQ(g_liveObjects, 0) << "the factory must not keep a reference of its own";

    INone* none = reinterpret_cast<INone*>(0x1);
    EXPECT_EQ(CoCreateInstance(kFooBarClass, nullptr, CLSCTX_INPROC_SERVER, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(g_liveObjects, 0);

    const CLSID unknownClass = com::MakeGuid("{DEADBEEF-0000-0000-0000-000000000000}");
    IFoo* foo = reinterpret_cast<IFoo*>(0x1);
    EXPECT_EQ(CoCreateInstance(unknownClass, nullptr, CLSCTX_ALL, &foo), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(foo, nullptr);
    CClassRegistry::Instance().Unregister(kFooBarClass);
}

TEST(CoCreateInstanceTest, ScopedOverrideRemovesOrReplacesAndThenRestores) {
    RegisterComClass<CFooBar>(kFooBarClass);
    {
        CScopedClassOverride removed(kFooBarClass, nullptr);
        ComPtr<IFoo> foo;
        EXPECT_EQ(CoCreateInstance(kFooBarClass, nullptr, CLSCTX_ALL, foo.ReleaseAndGetAddressOf()),
                  REGDB_E_CLASSNOTREG);
    }
    {
        CScopedClassOverride failing(kFooBarClass,
                                     [](IUnknown*, REFIID, void**) { return E_OUTOFMEMORY; });
        ComPtr<IFoo> foo;
        EXPECT_EQ(CoCreateInstance(kFooBarClass, nullptr, CLSCTX_ALL, foo.ReleaseAndGetAddressOf()),
                  E_OUTOFMEMORY);
        EXPECT_FALSE(foo);
    }
    ComPtr<IFoo> foo;
    EXPECT_EQ(CoCreateInstance(kFooBarClass, nullptr, CLSCTX_ALL, foo.ReleaseAndGetAddressOf()),
              S_OK);
    CClassRegistry::Instance().Unregister(kFooBarClass);
}

TEST(CoInitializeTest, NestedInitialisationIsCountedPerThread) {
    const int depth = com::InitializationDepthOfThisThread();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY),
              depth == 0 ? S_OK : S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(com::InitializationDepthOfThisThread(), depth);
}

}  // namespace
