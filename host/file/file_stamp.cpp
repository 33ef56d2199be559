#include "file/file_stamp.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

namespace brisel::filehost {

bool FileStamp::isRegular() const { return S_ISREG(mode); }
bool FileStamp::isFolder() const { return S_ISDIR(mode); }

FileStamp StampOf(const struct stat& st) {
  auto ns = [](const timespec& t) { return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
  return FileStamp{st.st_dev, st.st_ino, st.st_mode, int64_t(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

std::optional<FileStamp> StampOf(const std::string& path, int* errnoOut) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errnoOut) *errnoOut = errno;
    return std::nullopt;
  }
  return StampOf(st);
}

bool SameOutwardly(const FileStamp& a, const FileStamp& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modifiedNs == b.modifiedNs;
}

bool SameVersion(const FileStamp& a, const FileStamp& b) { return SameOutwardly(a, b) && a.changedNs == b.changedNs; }

namespace {

// A time since the epoch, in nanoseconds, as local "2026-12-08 23:01:02".
std::string LocalTime(int64_t ns) {
  const time_t seconds = time_t(ns / 1'000'000'000);
  struct tm local {};
  char when[32] = "?";
  if (::localtime_r(&seconds, &local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  return when;
}

}  // namespace

std::string WhatChanged(const FileStamp& was, const FileStamp& now) {
  std::string what;
  auto add = [&what](const std::string& part) { what += (what.empty() ? "" : ", ") + part; };
  if (was.device != now.device || was.inode != now.inode) add("replaced by another file");
  if (was.size != now.size)
    add("its size went from " + std::to_string(was.size) + " to " + std::to_string(now.size) + " bytes");
  if (was.modifiedNs != now.modifiedNs) add("modified at " + LocalTime(now.modifiedNs));
  if (what.empty() && was.changedNs != now.changedNs)
    add("changed in place at " + LocalTime(now.changedNs) + ", its modification time kept");
  return what;
}

}  // namespace brisel::filehost
