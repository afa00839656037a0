// Message boxes. Styles and answers use the Windows values, so the core states them once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zeva {

enum MessageBoxStyle : uint32_t {
  kMbOk = 0x00,
  kMbOkCancel = 0x01,
  kMbYesNoCancel = 0x03,
  kMbYesNo = 0x04,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconExclamation = 0x30,
  kMbIconInformation = 0x40,
};

enum MessageBoxAnswer : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdYes = 6,
  kIdNo = 7,
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // Modal box owned by `owner` (0: no owner); returns the button chosen.
  virtual int ShowMessageBox(uint32_t owner, const std::u16string& text,
                             const std::u16string& caption, uint32_t style) = 0;
  // The same box with its buttons renamed in order ("一键安装" for OK...); buttons beyond
  // `buttonTexts` keep the system's texts.
  virtual int ShowRenamedMessageBox(uint32_t owner, const std::u16string& text,
                                    const std::u16string& caption, uint32_t style,
                                    const std::vector<std::u16string>& buttonTexts) = 0;
  // The desktop's folder picker (file-system folders only), modal to `owner`, showing
  // `startFolder` first when it names a folder; the chosen folder without a trailing
  // separator, or nothing when the user cancelled.
  virtual std::optional<std::u16string> PickFolder(uint32_t owner, const std::u16string& prompt,
                                                   const std::u16string& startFolder) = 0;
};

}  // namespace zeva
