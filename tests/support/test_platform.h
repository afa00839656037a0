// The test port: the real port's files, code page and instance lock (so the same tests run
// natively and under Wine), with the executable placed where a test wants it, scripted
// adapters, and recorded windows, message boxes and shell requests.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace zeva::test {

class TestFileSystem final : public IFileSystem {
 public:
  explicit TestFileSystem(std::unique_ptr<IFileSystem> real) : m_real(std::move(real)) {}

  // Where the running executable is said to be; the real one when empty.
  std::u16string executablePath;

  std::optional<uint32_t> GetAttributes(std::u16string_view path) override {
    return m_real->GetAttributes(path);
  }
  std::optional<FoundEntry> FindFirst(std::u16string_view pattern) override {
    return m_real->FindFirst(pattern);
  }
  bool CreateFolder(std::u16string_view path) override { return m_real->CreateFolder(path); }
  bool Remove(std::u16string_view path) override { return m_real->Remove(path); }
  bool Copy(std::u16string_view source, std::u16string_view target) override {
    return m_real->Copy(source, target);
  }
  bool Move(std::u16string_view source, std::u16string_view target) override {
    return m_real->Move(source, target);
  }
  std::optional<std::string> ReadAll(std::u16string_view path) override {
    return m_real->ReadAll(path);
  }
  bool ReplaceContents(std::u16string_view path, std::string_view bytes) override {
    ++replaceCount;
    return failWrites ? false : m_real->ReplaceContents(path, bytes);
  }
  std::unique_ptr<IFileWriter> OpenForAppend(std::u16string_view path) override {
    return m_real->OpenForAppend(path);
  }
  std::unique_ptr<IFileReader> OpenForReading(std::u16string_view path) override;
  std::unique_ptr<IFileWriter> CreateWithAttributes(std::u16string_view path,
                                                    uint32_t attributes) override;
  bool SetTimes(std::u16string_view path, const FileTimes& times) override {
    ++setTimesCount;
    return m_real->SetTimes(path, times);
  }
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override {
    return m_real->SetAttributes(path, attributes);
  }
  std::optional<int64_t> LocalTimeToFileTime(const LocalTime& local) override {
    return m_real->LocalTimeToFileTime(local);
  }
  std::u16string ExecutablePath() override {
    return executablePath.empty() ? m_real->ExecutablePath() : executablePath;
  }

  // Simulates a disk that refuses every whole-file write.
  bool failWrites = false;
  int replaceCount = 0;
  // Simulates a full disk for created files: writes past this many bytes fail.
  std::optional<uint64_t> createdFileCapacity;
  int setTimesCount = 0;
  // Simulates a medium that fails: reads of opened files fail past this many bytes.
  std::optional<uint64_t> readableBytes;

 private:
  std::unique_ptr<IFileSystem> m_real;
};

// The port's free space, or a scripted answer for every folder.
class TestDiskSpace final : public IDiskSpace {
 public:
  explicit TestDiskSpace(std::unique_ptr<IDiskSpace> real) : m_real(std::move(real)) {}
  std::optional<std::optional<uint64_t>> answer;
  std::vector<std::u16string> asked;
  std::optional<uint64_t> FreeBytes(std::u16string_view folder) override {
    asked.emplace_back(folder);
    return answer ? *answer : m_real->FreeBytes(folder);
  }

 private:
  std::unique_ptr<IDiskSpace> m_real;
};

class FakeAdapters final : public INetworkAdapters {
 public:
  std::optional<HardwareAddress> address = HardwareAddress{0x00, 0x1B, 0xFC, 0x0A, 0x05, 0xE3};
  int calls = 0;
  std::optional<HardwareAddress> FirstAdapterAddress() override {
    ++calls;
    return address;
  }
};

class FakeInstance final : public ISingleInstance {
 public:
  InstanceLock answer = InstanceLock::kAcquired;
  std::vector<std::u16string> names;
  InstanceLock Acquire(std::u16string_view name) override {
    names.emplace_back(name);
    return answer;
  }
};

struct WindowMessage {
  WindowHandle window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  bool posted;
  bool operator==(const WindowMessage&) const = default;
};

// Windows that exist only as numbers; each answers SendWindowMessage with `answer`.
class FakeWindowSystem final : public IWindowSystem {
 public:
  struct Window {
    bool visible = true;
    bool maximized = false;
    intptr_t answer = 0;
  };
  std::map<WindowHandle, Window> windows;
  std::map<std::u16string, WindowHandle> windowsByTitle;
  std::vector<WindowHandle> foregroundRequests;
  std::vector<WindowMessage> messages;
  std::vector<std::pair<WindowHandle, int>> showCommands;
  WindowHandle activeWindow = 0;

  WindowHandle FindTopLevelWindow(std::u16string_view title) override {
    const auto it = windowsByTitle.find(std::u16string(title));
    return it == windowsByTitle.end() ? 0 : it->second;
  }
  bool SetForeground(WindowHandle window) override {
    foregroundRequests.push_back(window);
    return true;
  }
  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override {
    messages.push_back({window, message, wParam, lParam, false});
    const auto it = windows.find(window);
    return it == windows.end() ? 0 : it->second.answer;
  }
  bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
    messages.push_back({window, message, wParam, lParam, true});
    return windows.count(window) != 0;
  }
  int SetShowState(WindowHandle window, int command) override {
    showCommands.emplace_back(window, command);
    const auto it = windows.find(window);
    if (it == windows.end()) return 0;
    const bool wasVisible = it->second.visible;
    it->second.visible = command != kSwHide;
    it->second.maximized = command == kSwMaximize;
    return wasVisible ? 1 : 0;
  }
  bool IsMaximized(WindowHandle window) override {
    const auto it = windows.find(window);
    return it != windows.end() && it->second.maximized;
  }
  WindowHandle ActiveWindow() override { return activeWindow; }
  // Renames the window in `windowsByTitle` too.
  std::vector<std::pair<WindowHandle, std::u16string>> titleChanges;
  bool SetWindowTitle(WindowHandle window, std::u16string_view title) override {
    titleChanges.emplace_back(window, title);
    for (auto it = windowsByTitle.begin(); it != windowsByTitle.end(); ++it) {
      if (it->second != window) continue;
      windowsByTitle.erase(it);
      windowsByTitle[std::u16string(title)] = window;
      return true;
    }
    return windows.count(window) != 0;
  }
};

struct MessageBoxCall {
  uint32_t owner;
  std::u16string text;
  std::u16string caption;
  uint32_t style;
  std::vector<std::u16string> buttonTexts;
};

class FakeDialogs final : public IDialogs {
 public:
  std::vector<MessageBoxCall> boxes;
  // Scripted picker answers (nothing: cancelled); cancelled when none is left.
  std::deque<std::optional<std::u16string>> folders;
  struct PickerCall {
    uint32_t owner;
    std::u16string prompt, startFolder;
  };
  std::vector<PickerCall> pickerCalls;
  std::optional<std::u16string> PickFolder(uint32_t owner, const std::u16string& prompt,
                                           const std::u16string& startFolder) override {
    pickerCalls.push_back({owner, prompt, startFolder});
    if (folders.empty()) return std::nullopt;
    std::optional<std::u16string> answer = folders.front();
    folders.pop_front();
    return answer;
  }
  std::deque<int> answers;  // scripted answers, kIdOk when none is left
  int ShowMessageBox(uint32_t owner, const std::u16string& text, const std::u16string& caption,
                     uint32_t style) override {
    return ShowRenamedMessageBox(owner, text, caption, style, {});
  }
  int ShowRenamedMessageBox(uint32_t owner, const std::u16string& text,
                            const std::u16string& caption, uint32_t style,
                            const std::vector<std::u16string>& buttonTexts) override {
    boxes.push_back({owner, text, caption, style, buttonTexts});
    if (answers.empty()) return kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

struct ShellCall {
  std::u16string verb, file, parameters, folder;
  int show;
};

class FakeShell final : public IShell {
 public:
  std::vector<ShellCall> calls;
  bool succeed = true;
  bool Execute(const std::u16string& verb, const std::u16string& file,
               const std::u16string& parameters, const std::u16string& folder, int show) override {
    calls.push_back({verb, file, parameters, folder, show});
    return succeed;
  }
  std::vector<std::u16string> running;  // names of other processes' programs
  bool IsProgramRunning(std::u16string_view name) override {
    return std::find(running.begin(), running.end(), name) != running.end();
  }
};

class FakeRegistry final : public IRegistry {
 public:
  // Keyed by root code, key path and value name, as given.
  std::map<std::tuple<uint32_t, std::u16string, std::u16string>, std::u16string> values;
  std::optional<std::u16string> ReadString(RegistryRoot root, std::u16string_view keyPath,
                                           std::u16string_view valueName) override {
    const auto it = values.find(
        {static_cast<uint32_t>(root), std::u16string(keyPath), std::u16string(valueName)});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

// Autostart entries by name; `fail` refuses every change.
class FakeAutostart final : public IAutostart {
 public:
  std::map<std::u16string, AutostartEntry> entries;
  bool fail = false;
  int changes = 0;
  bool Register(const AutostartEntry& entry) override {
    ++changes;
    if (fail) return false;
    entries[entry.name] = entry;
    return true;
  }
  bool Unregister(std::u16string_view name) override {
    ++changes;
    if (fail) return false;
    entries.erase(std::u16string(name));
    return true;
  }
};

class FakeToolkit final : public IToolkit {
 public:
  int starts = 0, stops = 0;
  bool Start() override { return ++starts, true; }
  void Stop() override { ++stops; }
};

// The port's login request, recorded; scripted replies are given first, then the real one
// answers.
class TestLoginClient final : public ILoginClient {
 public:
  explicit TestLoginClient(std::unique_ptr<ILoginClient> real) : m_real(std::move(real)) {}
  std::vector<LoginRequest> requests;
  std::deque<LoginReply> replies;
  LoginReply Send(const LoginRequest& request) override {
    requests.push_back(request);
    if (replies.empty()) return m_real->Send(request);
    LoginReply reply = std::move(replies.front());
    replies.pop_front();
    return reply;
  }

 private:
  std::unique_ptr<ILoginClient> m_real;
};

// Everything together, with the executable in `clientFolder` when one is given.
class TestPlatform {
 public:
  TestPlatform();
  explicit TestPlatform(const std::u16string& clientFolder);

  TestFileSystem files;
  std::unique_ptr<ITextCodec> codec;
  FakeAdapters adapters;
  FakeInstance instance;
  FakeWindowSystem windows;
  FakeRegistry registry;
  FakeDialogs dialogs;
  FakeShell shell;
  FakeToolkit toolkit;
  FakeAutostart autostart;
  TestLoginClient login;
  std::unique_ptr<IFileDownloader> downloader;
  TestDiskSpace diskSpace;
  Platform platform;
};

}  // namespace zeva::test
