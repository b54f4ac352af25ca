#include "skin/zip_entry_info.h"

namespace kestrel {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
/// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

/// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = year - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

std::uint32_t ReadU32(std::string_view bytes, std::size_t offset) {
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])); };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

}  // namespace

std::uint32_t ZipAttributes(std::uint32_t a) {
  std::uint32_t attributes = 0x80;
  if (a & (1u << 30) || a & 0x10) attributes = 0x90;
  if (a & 0x20) attributes |= 0x20;
  if (a & 0x02) attributes |= 0x02;
  if (!(a & (1u << 23)) || a & 0x01) attributes |= 0x01;
  if (a & 0x04) attributes |= 0x04;
  return attributes;
}

std::uint64_t ZipDosTimeToFileTime(std::uint32_t dosDateTime) {
  const int date = static_cast<int>(dosDateTime >> 16);
  const int time = static_cast<int>(dosDateTime & 0xFFFF);
  const int year = 1980 + (date >> 9);
  const int month = (date >> 5) & 0x0F;
  const int day = date & 0x1F;
  const int hour = time >> 11;
  const int minute = (time >> 5) & 0x3F;
  const int second = (time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59)
    return 0;
  const std::int64_t seconds =
      DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second + kUnixEpochSeconds;
  return static_cast<std::uint64_t>(seconds) * kTicksPerSecond;
}

std::uint64_t ZipUnixTimeToFileTime(std::int32_t seconds) {
  return static_cast<std::uint64_t>(seconds + kUnixEpochSeconds) * kTicksPerSecond;
}

void ZipEntryTimes(std::uint32_t dosDateTime, std::string_view extra, ZipEntryInfo& info) {
  const std::uint64_t dos = ZipDosTimeToFileTime(dosDateTime);
  info.modificationTime = info.accessTime = info.creationTime = dos;
  std::size_t pos = 0;
  while (extra.size() - pos > 4) {
    const std::uint32_t head = ReadU32(extra, pos);
    const std::size_t dataSize = head >> 16;
    if ((head & 0xFFFF) != 0x5455) {  // "UT"
      pos += 4 + dataSize;
      if (pos >= extra.size()) break;
      continue;
    }
    // Only what lies inside both the block and the field is read.
    std::string_view block = extra.substr(pos + 4, dataSize);
    if (block.empty()) return;
    const unsigned flags = static_cast<unsigned char>(block[0]);
    std::size_t at = 1;
    std::uint64_t* times[3] = {&info.modificationTime, &info.accessTime, &info.creationTime};
    for (int bit = 0; bit < 3; ++bit) {
      if (!(flags & (1u << bit))) continue;
      if (block.size() - at < 4) return;
      *times[bit] = ZipUnixTimeToFileTime(static_cast<std::int32_t>(ReadU32(block, at)));
      at += 4;
    }
    return;
  }
}

}  // namespace kestrel
