#include "platform/console.h"

#include <windows.h>

#include <memory>
#include <string_view>

#include "platform/standard_stream_buffer.h"
#include "platform/utf16.h"
#include "platform/utf8_stream_buffer.h"

namespace skerry {
namespace {

// Older consoles refuse single writes much beyond 64 KiB.
constexpr size_t kConsoleChunkChars = 8192;

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A console takes UTF-16 as it is, so no code page can garble a name.
class ConsoleStreamBuffer final : public WideStreamBuffer {
 public:
  ConsoleStreamBuffer(HANDLE handle, size_t capacity)
      : WideStreamBuffer(capacity), handle_(handle) {}
  ~ConsoleStreamBuffer() override { FinalFlush(); }

 private:
  bool Emit(std::wstring_view text, bool final) override {
    // Nothing new: a surrogate held back still waits for its partner.
    if (text.empty() && !final) return true;
    if (pendingHigh_ != 0) {
      wchar_t joined[2] = {pendingHigh_, text.empty() ? L'\0' : text.front()};
      pendingHigh_ = 0;
      bool pairs = !text.empty() && IsLowSurrogate(text.front());
      if (!Write(std::wstring_view(joined, pairs ? 2 : 1))) return false;
      if (pairs) text.remove_prefix(1);
    }
    // A high surrogate at the end of a block waits for its partner in the next one.
    if (!final && !text.empty() && IsHighSurrogate(text.back())) {
      pendingHigh_ = text.back();
      text.remove_suffix(1);
    }
    return Write(text);
  }

  bool Write(std::wstring_view text) {
    while (!text.empty()) {
      DWORD chunk =
          static_cast<DWORD>(text.size() < kConsoleChunkChars ? text.size() : kConsoleChunkChars);
      DWORD written = 0;
      if (!WriteConsoleW(handle_, text.data(), chunk, &written, nullptr) || written == 0) {
        return false;
      }
      text.remove_prefix(written);
    }
    return true;
  }

  HANDLE handle_;
  wchar_t pendingHigh_ = 0;
};

// A redirected stream (file or pipe) gets UTF-8.
class HandleStreamBuffer final : public Utf8StreamBuffer {
 public:
  HandleStreamBuffer(HANDLE handle, size_t capacity)
      : Utf8StreamBuffer(capacity), handle_(handle) {}
  ~HandleStreamBuffer() override { FinalFlush(); }

 private:
  bool WriteBytes(std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
      DWORD written = 0;
      if (!WriteFile(handle_, bytes.data(), chunk, &written, nullptr) || written == 0) {
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }

  HANDLE handle_;
};

}  // namespace

std::unique_ptr<std::wstreambuf> MakeStandardStreamBuffer(StandardStream which, size_t capacity) {
  HANDLE handle =
      GetStdHandle(which == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (IsConsole(handle)) return std::make_unique<ConsoleStreamBuffer>(handle, capacity);
  return std::make_unique<HandleStreamBuffer>(handle, capacity);
}

bool StandardOutputIsTerminal() { return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }
bool StandardErrorIsTerminal() { return IsConsole(GetStdHandle(STD_ERROR_HANDLE)); }

}  // namespace skerry
