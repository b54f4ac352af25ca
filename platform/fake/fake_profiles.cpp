// The fake's profile files: read and written with the model's profile rules.

#include "platform/fake/fake_platform.h"

#include "platform/model/profile_text.h"
#include "platform/model/profile_writer.h"
#include "text/utf.h"

namespace kestrel {

void FakePlatform::AddIni(const std::wstring& path, const std::wstring& text) { AddFile(path, WideToUtf8(text)); }

std::string FakePlatform::ProfileBytes(const std::wstring& file) const {
  auto it = files_.find(Key(file));
  return it == files_.end() ? std::string() : it->second;
}

std::unique_ptr<ProfileText> FakePlatform::ReadProfile(const std::wstring& file) {
  auto it = files_.find(Key(file));
  // Windows' profile reads clear the last error for a file they could read.
  lastError_ = it == files_.end() ? win::kFileNotFound : 0;
  if (it == files_.end()) return nullptr;
  auto ansi = [this](std::string_view bytes) { return AnsiToWide(bytes); };
  return std::make_unique<ProfileText>(DecodeTextFile(it->second, ansi));
}

std::wstring FakePlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                    const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                    const std::wstring& file) {
  Record(L"GetPrivateProfileStringW", {section, key, defaultValue, std::to_wstring(bufferChars), file});
  return ProfileGetString(ReadProfile(file).get(), section, key, defaultValue, bufferChars);
}

int FakePlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                        const std::wstring& file) {
  Record(L"GetPrivateProfileIntW", {section, key, std::to_wstring(defaultValue), file});
  return ProfileGetInt(ReadProfile(file).get(), section, key, defaultValue);
}

std::uint32_t FakePlatform::GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                                      std::uint32_t bufferChars, const std::wstring& file) {
  Record(L"GetPrivateProfileSectionW", {section, std::to_wstring(bufferChars), file});
  return ProfileGetSection(ReadProfile(file).get(), section, bufferChars, buffer);
}

bool FakePlatform::WritePrivateProfileStringW(const std::wstring& section, const std::optional<std::wstring>& key,
                                              const std::optional<std::wstring>& value, const std::wstring& file) {
  Record(L"WritePrivateProfileStringW",
         {section, key ? *key : L"(null)", value ? *value : L"(null)", file});
  std::wstring k = Key(file);
  if (file.empty() || dirs_.count(k)) return Fail(win::kAccessDenied);
  if (!dirs_.count(Parent(k))) return Fail(win::kPathNotFound);
  if (readOnly_.count(k)) return Fail(win::kAccessDenied);
  AnsiCodec codec{[this](std::string_view b) { return AnsiToWide(b); },
                  [this](std::wstring_view t) { return WideToAnsi(t); }};
  std::optional<std::string> bytes = ProfileWrite(ProfileBytes(file), section, key, value, codec);
  if (!bytes) return Fail(win::kInvalidParameter);
  AddFile(file, std::move(*bytes));
  lastError_ = 0;
  return true;
}

}  // namespace kestrel
