#include "download/resume_validator.h"

#include "download/reply_headers.h"

namespace zeva {
namespace {

std::u16string ValidatorPath(std::u16string_view path) {
  return std::u16string(path) + std::u16string(kResumeValidatorSuffix);
}

}  // namespace

std::optional<std::string> LoadResumeValidator(IFileSystem& files, std::u16string_view path) {
  const std::optional<std::string> kept = files.ReadAll(ValidatorPath(path));
  // Checked as a reply's headers are: a tag by its quote, anything else as a date.
  return kept ? ResumeValidator(kept, kept) : std::nullopt;
}

bool StoreResumeValidator(IFileSystem& files, std::u16string_view path,
                          const std::optional<std::string>& validator) {
  const std::u16string kept = ValidatorPath(path);
  if (validator) return files.ReplaceContents(kept, *validator);
  return !files.GetAttributes(kept) || files.Remove(kept);
}

}  // namespace zeva
