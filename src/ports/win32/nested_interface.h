// One COM object, several interfaces: each interface is a small nested implementation whose
// QueryInterface, AddRef and Release are the object's, so they share one count and one
// identity.
#pragma once

#include <windows.h>

namespace zeva::win32 {

template <typename Outer, typename Interface>
class NestedInterface : public Interface {
 public:
  explicit NestedInterface(Outer* outer) : m_outer(outer) {}
  NestedInterface(const NestedInterface&) = delete;
  NestedInterface& operator=(const NestedInterface&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return m_outer->InternalQueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return m_outer->InternalAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_outer->InternalRelease(); }

 protected:
  ~NestedInterface() = default;
  Outer* m_outer;
};

}  // namespace zeva::win32
