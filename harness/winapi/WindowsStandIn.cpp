// The Windows functions the module calls, for the Linux build. This file is
// built with a 64-bit time_t so that file times and the UTC conversion cover
// the same range as the Windows runtime's 64-bit variants.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ProfileReader.h"
#include "WinApiControl.h"
#include "WindowsApi.h"

// glibc spells these as macros over its own record; ours are plain fields.

static_assert(sizeof(time_t) == 8, "build this file with a 64-bit time_t");

namespace {

WinApiHandler* handler = nullptr;

std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t length = 1;
    if (byte < 0x80) {
      code = byte;
    } else if ((byte & 0xE0) == 0xC0) {
      length = 2;
      code = byte & 0x1F;
    } else if ((byte & 0xF0) == 0xE0) {
      length = 3;
      code = byte & 0x0F;
    } else if ((byte & 0xF8) == 0xF0) {
      length = 4;
      code = byte & 0x07;
    } else {
      length = 0;
    }
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
      } else {
        code = (code << 6) | (next & 0x3F);
      }
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || code < kSmallest[length] || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      // A malformed byte becomes one replacement character, as Windows does.
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;  // an unpaired surrogate
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

std::u16string_view WideView(LPCWSTR text) {
  if (text == nullptr) return {};
  size_t length = 0;
  while (text[length] != 0) ++length;
  return {text, length};
}

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// `name` made absolute against the current directory, with "." and ".."
// components resolved and repeated separators folded, as Windows does.
std::u16string FullPath(std::u16string_view name) {
  std::u16string joined;
  if (name.empty() || name.front() != u'/') {
    joined = Utf16FromUtf8(CurrentDirectory());
    joined.push_back(u'/');
  }
  joined.append(name);

  std::vector<std::u16string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find(u'/', start);
    if (end == std::u16string::npos) end = joined.size();
    std::u16string part = joined.substr(start, end - start);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  std::u16string full;
  for (const auto& part : parts) {
    full.push_back(u'/');
    full.append(part);
  }
  // A trailing separator stays: the name then has no file part.
  bool trailing = !name.empty() && (name.back() == u'/' || name == u"." || name == u"..");
  if (full.empty() || trailing) full.push_back(u'/');
  return full;
}

// What GetModuleFileNameW writes: as much of `name` as fits with its NUL,
// and the length, or the buffer's size when the name was cut.
DWORD CopyName(const std::u16string& name, LPWSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  const size_t copied = name.size() < size ? name.size() : size - 1;
  std::memcpy(buffer, name.data(), copied * sizeof(WCHAR));
  buffer[copied] = 0;
  return name.size() < size ? static_cast<DWORD>(name.size()) : size;
}

std::string ProgramPath() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) return {buffer.data(), size_t(length)};
    buffer.resize(buffer.size() * 2);
  }
}

// File handles are descriptors shifted by one, so that none is null.
HANDLE HandleOf(int fd) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) + 1);
}
int DescriptorOf(HANDLE file) {
  return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}

}  // namespace

extern "C" {

WINAPI_STANDIN_API void WinApiSetHandler(WinApiHandler* newHandler) {
  handler = newHandler;
}

DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart) {
  if (handler != nullptr) handler->OnGetFullPathNameW(fileName, bufferLength);
  std::u16string_view name = WideView(fileName);
  if (name.empty()) return 0;  // Windows fails for an empty name
  std::u16string full = FullPath(name);
  if (full.size() + 1 > bufferLength || buffer == nullptr) {
    // Too small: the size needed, counting the terminating NUL, and the
    // buffer left alone.
    return static_cast<DWORD>(full.size() + 1);
  }
  std::memcpy(buffer, full.data(), full.size() * sizeof(WCHAR));
  buffer[full.size()] = 0;
  if (filePart != nullptr) {
    size_t slash = full.rfind(u'/');
    *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
  }
  return static_cast<DWORD>(full.size());
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
  if (handler != nullptr) {
    handler->OnGetPrivateProfileIntW(section, key, defaultValue);
    UINT value = 0;
    if (handler->OnProfileInt(section, key, defaultValue, &value)) return value;
  }
  return ProfileIntFromFile(Utf8FromUtf16(WideView(fileName)), WideView(section), WideView(key),
                            defaultValue);
}

SHORT GetAsyncKeyState(int virtualKey) {
  return handler != nullptr ? handler->OnGetAsyncKeyState(virtualKey) : 0;
}

SHORT GetKeyState(int virtualKey) {
  return handler != nullptr ? handler->OnGetKeyState(virtualKey) : 0;
}

BOOL GetCursorPos(POINT* point) {
  if (handler != nullptr) return handler->OnGetCursorPos(point);
  if (point == nullptr) return FALSE;
  point->x = 0;
  point->y = 0;
  return TRUE;
}

DWORD XInputGetState(DWORD userIndex, XINPUT_STATE* state) {
  if (handler != nullptr) return handler->OnXInputGetState(userIndex, state);
  return ERROR_DEVICE_NOT_CONNECTED;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (handler != nullptr) return handler->OnQueryPerformanceFrequency(frequency);
  return WinApiHandler::PlainPerformanceFrequency(frequency);
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
  if (handler != nullptr) return handler->OnQueryPerformanceCounter(counter);
  return WinApiHandler::PlainPerformanceCounter(counter);
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR, HMODULE* module) {
  if (module == nullptr) return FALSE;
  // Only the module's own handle is ever asked for, by an address inside it.
  static char moduleHandle;
  *module = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) != 0 ? &moduleHandle : nullptr;
  return *module != nullptr;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  const std::string path = module == nullptr ? ProgramPath() : CurrentDirectory() + "/Quorvat.dll";
  return CopyName(Utf16FromUtf8(path), buffer, size);
}

HANDLE CreateFileW(LPCWSTR name, DWORD, DWORD, LPVOID, DWORD, DWORD, HANDLE) {
  const std::string path = Utf8FromUtf16(WideView(name));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  // Shared for reading only: whoever holds the lock is the one writer, and
  // the file is emptied only once it is ours.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  if (handler != nullptr) handler->OnFileCreated(name);
  return HandleOf(fd);
}

BOOL WriteFile(HANDLE file, LPCVOID bytes, DWORD count, DWORD* written, LPVOID) {
  DWORD allowed = handler != nullptr ? handler->OnWriteFile(count) : count;
  if (allowed > count) allowed = count;
  DWORD done = 0;
  while (done < allowed) {
    const ssize_t n =
        write(DescriptorOf(file), static_cast<const char*>(bytes) + done, allowed - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<DWORD>(n);
  }
  if (written != nullptr) *written = done;
  return done == count ||
         (done == allowed && handler != nullptr && handler->OnShortWriteSucceeds());
}

BOOL CloseHandle(HANDLE object) {
  return close(DescriptorOf(object)) == 0;
}

void GetLocalTime(SYSTEMTIME* time) {
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  *time = {static_cast<WORD>(local.tm_year + 1900), static_cast<WORD>(local.tm_mon + 1),
           static_cast<WORD>(local.tm_wday),        static_cast<WORD>(local.tm_mday),
           static_cast<WORD>(local.tm_hour),        static_cast<WORD>(local.tm_min),
           static_cast<WORD>(local.tm_sec),         0};
}

DWORD FindXInputLibrary(LPWSTR buffer, DWORD size) {
  if (handler != nullptr && !handler->OnXInputLibraryPresent()) return 0;
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&FindXInputLibrary), &self) == 0 ||
      self.dli_fname == nullptr) {
    return 0;
  }
  char* full = realpath(self.dli_fname, nullptr);
  const std::string path = full != nullptr ? full : self.dli_fname;
  std::free(full);
  return CopyName(Utf16FromUtf8(path), buffer, size);
}

int _stat64(const char* path, struct _stat64* status) {
  if (path == nullptr || status == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (handler != nullptr) {
    int64_t seconds = 0;
    if (!handler->OnFileModificationTime(path, &seconds)) {
      errno = ENOENT;
      return -1;
    }
    std::memset(status, 0, sizeof *status);
    status->st_mode = 0100644;  // a regular file
    status->st_nlink = 1;
    status->st_atime = seconds;
    status->st_mtime = seconds;
    status->st_ctime = seconds;
    return 0;
  }
  struct stat real {};
  if (stat(path, &real) != 0) return -1;
  std::memset(status, 0, sizeof *status);
  status->st_dev = static_cast<uint32_t>(real.st_dev);
  status->st_ino = static_cast<uint16_t>(real.st_ino);
  status->st_mode = static_cast<uint16_t>(real.st_mode);
  status->st_nlink = static_cast<int16_t>(real.st_nlink);
  status->st_uid = static_cast<int16_t>(real.st_uid);
  status->st_gid = static_cast<int16_t>(real.st_gid);
  status->st_rdev = static_cast<uint32_t>(real.st_rdev);
  status->st_size = static_cast<int64_t>(real.st_size);
  status->st_atime = static_cast<int64_t>(real.st_atim.tv_sec);
  status->st_mtime = static_cast<int64_t>(real.st_mtim.tv_sec);
  status->st_ctime = static_cast<int64_t>(real.st_ctim.tv_sec);
  return 0;
}

struct tm* _gmtime64(const int64_t* time) {
  // The Windows runtime's range: 1970-01-01 00:00:00 to 3001-01-01 07:59:59
  // (the end of the year 3000 with room for every time zone).
  constexpr int64_t kLatest = 32535244799;
  if (time == nullptr || *time < 0 || *time > kLatest) return nullptr;
  static thread_local struct tm result;
  time_t seconds = static_cast<time_t>(*time);
  return gmtime_r(&seconds, &result);
}

}  // extern "C"
