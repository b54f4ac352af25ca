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

std::wstring FakePlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                    const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                    const std::wstring& file) {
  Record(L"GetPrivateProfileStringW", {section, key, defaultValue, std::to_wstring(bufferChars), file});
  auto it = files_.find(Key(file));
  if (it == files_.end()) {
    lastError_ = win::kFileNotFound;
    return ProfileGetString(nullptr, section, key, defaultValue, bufferChars);
  }
  ProfileText text(DecodeTextFile(it->second, [this](std::string_view b) { return AnsiToWide(b); }));
  lastError_ = 0;  // Windows' profile reads clear the last error for a file they could read
  return ProfileGetString(&text, section, key, defaultValue, bufferChars);
}

int FakePlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                        const std::wstring& file) {
  Record(L"GetPrivateProfileIntW", {section, key, std::to_wstring(defaultValue), file});
  auto it = files_.find(Key(file));
  if (it == files_.end()) {
    lastError_ = win::kFileNotFound;
    return defaultValue;
  }
  ProfileText text(DecodeTextFile(it->second, [this](std::string_view b) { return AnsiToWide(b); }));
  lastError_ = 0;
  return ProfileGetInt(&text, section, key, defaultValue);
}

std::uint32_t FakePlatform::GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                                      std::uint32_t bufferChars, const std::wstring& file) {
  Record(L"GetPrivateProfileSectionW", {section, std::to_wstring(bufferChars), file});
  auto it = files_.find(Key(file));
  if (it == files_.end()) {
    lastError_ = win::kFileNotFound;
    return ProfileGetSection(nullptr, section, bufferChars, buffer);
  }
  ProfileText text(DecodeTextFile(it->second, [this](std::string_view b) { return AnsiToWide(b); }));
  lastError_ = 0;
  return ProfileGetSection(&text, section, bufferChars, buffer);
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
