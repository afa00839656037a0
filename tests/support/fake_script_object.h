// A page object for the script interface's tests: a document (or not) that records the
// page-function calls it receives.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "host/script_value.h"

namespace zeva::test {

class FakeScriptObject final : public IScriptObject {
 public:
  explicit FakeScriptObject(bool isDocument, bool hasFunction = true)
      : m_isDocument(isDocument), m_hasFunction(hasFunction) {}

  bool IsHtmlDocument() const override { return m_isDocument; }
  bool IsTopDocument() const override { return top; }
  bool IsShown() const override { return shown; }
  bool CallPageFunction(std::u16string_view name, std::span<const int32_t> args,
                        std::chrono::milliseconds wait) override {
    const std::lock_guard lock(m_mutex);
    lastWait = wait;
    if (!m_hasFunction) return false;
    m_calls.push_back({std::u16string(name), std::vector<int32_t>(args.begin(), args.end())});
    return true;
  }
  std::optional<ScriptValue> DefaultValue() const override {
    return ScriptValue::String(m_isDocument ? u"[object HTMLDocument]" : u"[object Object]");
  }

  bool top = true;
  bool shown = true;
  std::chrono::milliseconds lastWait{0};

  struct Call {
    std::u16string name;
    std::vector<int32_t> args;
  };
  std::vector<Call> Calls() const {
    const std::lock_guard lock(m_mutex);
    return m_calls;
  }

 private:
  bool m_isDocument;
  bool m_hasFunction;
  mutable std::mutex m_mutex;
  std::vector<Call> m_calls;
};

}  // namespace zeva::test
