#pragma once
// A block-buffered wide stream buffer that hands its text to a device in
// pieces. A device that fails makes overflow() and sync() fail, so the stream
// sets its badbit; the text that could not be written is dropped, so that a
// caller that clears the state goes on with fresh output instead of retrying
// the same block forever.

#include <cstddef>
#include <initializer_list>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace skerry {

class WideStreamBuffer : public std::wstreambuf {
 public:
  explicit WideStreamBuffer(size_t capacity);
  WideStreamBuffer(const WideStreamBuffer&) = delete;
  WideStreamBuffer& operator=(const WideStreamBuffer&) = delete;

  // Takes UTF-16 text after everything written before it, as the stream
  // would take it converted to wide characters (text.h's AppendWide); false
  // when the device failed. A device with an encoding of its own takes the
  // text without the wide-character stage: a listing is mostly names and
  // paths, which NTFS stores as UTF-16.
  bool PutUtf16(std::u16string_view text) { return PutUtf16({text}); }
  // Takes the pieces as one text: their concatenation, without building it.
  virtual bool PutUtf16(std::initializer_list<std::u16string_view> pieces);
  // Takes `head`, the text whose UTF-8 is `utf8`, then `tail`, as one text:
  // a listing to a file keeps each directory's path as UTF-8, encoded once.
  // A high surrogate that ends `head` is never joined to what `utf8` holds.
  virtual bool PutUtf16AroundUtf8(std::u16string_view head, std::string_view utf8,
                                  std::initializer_list<std::u16string_view> tail);

 protected:
  // Writes the text to the device; false when the device failed. `final` is
  // true only for the last write before the buffer goes away, so that a
  // device may hold back a character whose second half has not come yet.
  // The text may be empty: a device that holds text of its own writes it.
  virtual bool Emit(std::wstring_view text, bool final) = 0;

  // Hands everything buffered to the device as its last write. Derived
  // classes call it from their destructors, while Emit is still theirs.
  void FinalFlush();
  // The wide text buffered so far, which the caller now owns: the buffer
  // starts empty again. Valid until the next write.
  std::wstring_view TakeBuffered();
  size_t capacity() const { return buffer_.size(); }

  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool FlushBuffer(bool final);

  std::vector<wchar_t> buffer_;
  std::wstring converted_;  // PutUtf16's wide form, reused
};

}  // namespace skerry
