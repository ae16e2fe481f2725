#pragma once
// The classes that CoCreateInstance can create, by class identifier. Platform stand-ins and
// card drivers register here; tests replace or remove any entry to make a creation fail.
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/com/unknown.h"
#include "platform/com/unknown_base.h"

using ClassFactory = std::function<HRESULT(IUnknown* pOuter, REFIID iid, void** ppv)>;

class CClassRegistry {
public:
    static CClassRegistry& Instance();

    void Register(REFCLSID clsid, ClassFactory factory);
    void Unregister(REFCLSID clsid);
    std::optional<ClassFactory> Find(REFCLSID clsid) const;

private:
    mutable std::mutex m_lock;
    std::map<CLSID, ClassFactory> m_classes;
};

// Registers a class whose objects are created with `new T()` and answered through QueryInterface.
template <typename T>
void RegisterComClass(REFCLSID clsid) {
    CClassRegistry::Instance().Register(clsid, [](IUnknown* pOuter, REFIID iid, void** ppv) {
        if (pOuter != nullptr) return CLASS_E_NOAGGREGATION;
        return AnswerNewObject(new T(), iid, ppv);
    });
}

// Replaces (or, with an empty factory, removes) one class for the lifetime of the object.
class CScopedClassOverride {
public:
    CScopedClassOverride(REFCLSID clsid, ClassFactory factory);
    CScopedClassOverride(const CScopedClassOverride&) = delete;
    CScopedClassOverride& operator=(const CScopedClassOverride&) = delete;
    ~CScopedClassOverride();

private:
    CLSID m_clsid;
    std::optional<ClassFactory> m_previous;
};
