#pragma once
// A block-buffered wide stream buffer that hands its text to a device in
// pieces. A device that fails makes overflow() and sync() fail, so the stream
// sets its badbit; the text that could not be written is dropped, so that a
// caller that clears the state goes on with fresh output instead of retrying
// the same block forever.

#include <cstddef>
#include <streambuf>
#include <string_view>
#include <vector>

namespace skerry {

class WideStreamBuffer : public std::wstreambuf {
 public:
  explicit WideStreamBuffer(size_t capacity);
  WideStreamBuffer(const WideStreamBuffer&) = delete;
  WideStreamBuffer& operator=(const WideStreamBuffer&) = delete;

 protected:
  // Writes the text to the device; false when the device failed. `final` is
  // true only for the last write before the buffer goes away, so that a
  // device may hold back a character whose second half has not come yet.
  virtual bool Emit(std::wstring_view text, bool final) = 0;

  // Hands everything buffered to the device as its last write. Derived
  // classes call it from their destructors, while Emit is still theirs.
  void FinalFlush();

  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool FlushBuffer(bool final);

  std::vector<wchar_t> buffer_;
};

}  // namespace skerry
