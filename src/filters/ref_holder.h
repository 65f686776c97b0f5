#pragma once
// Shared ownership of predicates and filter lists. A list, its saved copy and
// a copy of the settings may all refer to the same object; the object is
// destroyed through its virtual destructor when the last reference goes.
// The counts are plain integers: the program has one thread.

#include <cstdint>
#include <utility>

namespace skerry {

template <typename T>
class Ref;

template <typename T>
class RefHolder {
 public:
  static constexpr int32_t kTagInUse = 123456;
  // Written together with count 0 just before the holder is freed, so that a
  // holder reached after its release is recognisable in a debugger.
  static constexpr int32_t kTagReleased = 654321;

  T* object;
  int32_t count = 1;
  int32_t tag = kTagInUse;

 private:
  friend class Ref<T>;
  explicit RefHolder(T* held) : object(held) {}
  RefHolder(const RefHolder&) = delete;
  RefHolder& operator=(const RefHolder&) = delete;

  // Out of line: inlined into a caller that holds several references to one
  // holder, GCC cannot tell that the count stays above zero and reports a
  // use after free that cannot happen.
  [[gnu::noinline]] void Release() {
    if (--count > 0) return;
    count = 0;
    tag = kTagReleased;
    delete object;
    object = nullptr;
    delete this;
  }
};

// One reference to a holder, or none. Copying adds a reference, destruction
// releases it.
template <typename T>
class Ref {
 public:
  Ref() = default;

  // Creates a new held object; the new reference is the holder's only one.
  template <typename U = T, typename... Args>
  static Ref Make(Args&&... args) {
    Ref ref;
    ref.holder_ = new RefHolder<T>(new U(std::forward<Args>(args)...));
    return ref;
  }

  Ref(const Ref& other) : holder_(other.holder_) {
    if (holder_ != nullptr) ++holder_->count;
  }
  Ref(Ref&& other) noexcept : holder_(std::exchange(other.holder_, nullptr)) {}

  // The source's holder gains its reference before the old one is released,
  // so assigning a reference to itself, or one list to the field that already
  // holds it, never frees anything.
  Ref& operator=(const Ref& other) {
    if (holder_ == other.holder_) return *this;
    if (other.holder_ != nullptr) ++other.holder_->count;
    RefHolder<T>* previous = std::exchange(holder_, other.holder_);
    if (previous != nullptr) previous->Release();
    return *this;
  }
  Ref& operator=(Ref&& other) noexcept {
    if (this == &other) return *this;
    RefHolder<T>* previous = std::exchange(holder_, std::exchange(other.holder_, nullptr));
    if (previous != nullptr) previous->Release();
    return *this;
  }

  ~Ref() { Reset(); }

  void Reset() {
    if (holder_ != nullptr) std::exchange(holder_, nullptr)->Release();
  }

  T* get() const { return holder_ != nullptr ? holder_->object : nullptr; }
  T& operator*() const { return *get(); }
  T* operator->() const { return get(); }
  explicit operator bool() const { return holder_ != nullptr; }

  RefHolder<T>* holder() const { return holder_; }

 private:
  RefHolder<T>* holder_ = nullptr;
};

}  // namespace skerry
