#pragma once
// A wide stream buffer that writes UTF-8, whatever the C locale says, so that a
// name in any script reaches a pipe or a file intact. wchar_t holds a code
// point on Linux and a UTF-16 unit on Windows; both are accepted, and so is
// UTF-16 text put straight in (PutUtf16). A surrogate without its partner, or
// a value above U+10FFFF, becomes U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/wide_stream_buffer.h"

namespace skerry {

// Converts wide or UTF-16 text to UTF-8 piece by piece; a UTF-16 pair may
// straddle two pieces.
class Utf8Encoder {
 public:
  void Encode(std::wstring_view text, std::string& out);
  void Encode(std::u16string_view text, std::string& out);
  // Ends the text: a high surrogate still waiting for its partner becomes U+FFFD.
  void Finish(std::string& out);

 private:
  template <typename Unit>
  void EncodeUnits(const Unit* units, size_t count, std::string& out);

  char32_t pendingHigh_ = 0;
};

class Utf8StreamBuffer : public WideStreamBuffer {
 public:
  explicit Utf8StreamBuffer(size_t capacity) : WideStreamBuffer(capacity) {}

  // Encodes the text once, from UTF-16 to UTF-8, beside the bytes already
  // held; the device gets them a block at a time.
  bool PutUtf16(std::u16string_view text) override;

 protected:
  // Writes all the bytes to the device; false when it failed.
  virtual bool WriteBytes(std::string_view bytes) = 0;

 private:
  bool Emit(std::wstring_view text, bool final) override;
  // Writes the bytes held and forgets them, written or not.
  bool WriteHeld();

  Utf8Encoder encoder_;
  // The encoded text not yet written, reused, so steady output allocates nothing.
  std::string bytes_;
};

}  // namespace skerry
