#pragma once
// A wide stream buffer that writes UTF-8, whatever the C locale says, so that a
// name in any script reaches a pipe or a file intact. wchar_t holds a code
// point on Linux and a UTF-16 unit on Windows; both are accepted, and so is
// UTF-16 text put straight in (PutUtf16). A surrogate without its partner, or
// a value above U+10FFFF, becomes U+FFFD.

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/wide_stream_buffer.h"

namespace skerry {

// Bytes appended through a pointer: room is made for the most a text can
// take and only what was written is kept, so no byte is zero-filled first.
class ByteBlock {
 public:
  // Room for `count` bytes after those held; valid until the next call.
  char* Room(size_t count);
  // Keeps the bytes written up to `end`, in the room Room gave.
  void KeepUpTo(const char* end) { size_ = static_cast<size_t>(end - data_.get()); }
  std::string_view View() const { return {data_.get(), size_}; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Converts wide or UTF-16 text to UTF-8 piece by piece; a UTF-16 pair may
// straddle two pieces.
class Utf8Encoder {
 public:
  void Encode(std::wstring_view text, ByteBlock& out);
  // The pieces one after the other, as one text.
  void Encode(std::initializer_list<std::u16string_view> pieces, ByteBlock& out);
  // `head`, the bytes of `utf8` as they are, then `tail`, as one text.
  void Encode(std::u16string_view head, std::string_view utf8,
              std::initializer_list<std::u16string_view> tail, ByteBlock& out);
  // Ends the text: a high surrogate still waiting for its partner becomes U+FFFD.
  void Finish(ByteBlock& out);

 private:
  // Writes the units' bytes at `bytes`, which has room for kMostBytesPerUnit
  // a unit and kMostBytesPending more; returns their end.
  template <typename Unit>
  char* EncodeUnits(const Unit* units, size_t count, char* bytes);

  char32_t pendingHigh_ = 0;
};

class Utf8StreamBuffer : public WideStreamBuffer {
 public:
  explicit Utf8StreamBuffer(size_t capacity) : WideStreamBuffer(capacity) {}

  // Encodes the text once, from UTF-16 to UTF-8, beside the bytes already
  // held; the device gets them a block at a time.
  using WideStreamBuffer::PutUtf16;
  bool PutUtf16(std::initializer_list<std::u16string_view> pieces) override;
  bool PutUtf16AroundUtf8(std::u16string_view head, std::string_view utf8,
                          std::initializer_list<std::u16string_view> tail) override;

 protected:
  // Writes all the bytes to the device; false when it failed.
  virtual bool WriteBytes(std::string_view bytes) = 0;

 private:
  bool Emit(std::wstring_view text, bool final) override;
  // Writes the bytes held and forgets them, written or not.
  bool WriteHeld();

  Utf8Encoder encoder_;
  // The encoded text not yet written, reused, so steady output allocates nothing.
  ByteBlock bytes_;
};

}  // namespace skerry
