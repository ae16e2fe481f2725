#include "platform/com/class_registry.h"

#include <utility>

CClassRegistry& CClassRegistry::Instance() {
    static CClassRegistry registry;
    return registry;
}

void CClassRegistry::Register(REFCLSID clsid, ClassFactory factory) {
    std::lock_guard guard(m_lock);
    m_classes[clsid] = std::move(factory);
}

void CClassRegistry::Unregister(REFCLSID clsid) {
    std::lock_guard guard(m_lock);
    m_classes.erase(clsid);
}

std::optional<ClassFactory> CClassRegistry::Find(REFCLSID clsid) const {
    std::lock_guard guard(m_lock);
    const auto it = m_classes.find(clsid);
    if (it == m_classes.end()) return std::nullopt;
    return it->second;
}

CScopedClassOverride::CScopedClassOverride(REFCLSID clsid, ClassFactory factory)
    : m_clsid(clsid), m_previous(CClassRegistry::Instance().Find(clsid)) {
    if (factory) {
        CClassRegistry::Instance().Register(clsid, std::move(factory));
    } else {
        CClassRegistry::Instance().Unregister(clsid);
    }
}

CScopedClassOverride::~CScopedClassOverride() {
    if (m_previous) {
        CClassRegistry::Instance().Register(m_clsid, std::move(*m_previous));
    } else {
        CClassRegistry::Instance().Unregister(m_clsid);
    }
}
