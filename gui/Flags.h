// A set of flags of one enumeration. Each set of flags has its own
// enumeration, so flags of one set cannot be put into, or tested in, another.
#pragma once

#include <cstdint>
#include <type_traits>

namespace Gui {

// Opt-in for an enumeration whose values are flag numbers 0, 1, 2, ...: two
// of its values combine with | into a TFlags.
template <typename E>
inline constexpr bool IsFlagEnum = false;

template <typename E>
class TFlags {
  static_assert(std::is_enum_v<E>);
  static constexpr uint32_t Bit(E AFlag) { return uint32_t(1) << unsigned(AFlag); }

public:
  constexpr TFlags() = default;
  constexpr TFlags(E AFlag) : FBits(Bit(AFlag)) {}

  constexpr bool Contains(E AFlag) const { return (FBits & Bit(AFlag)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr TFlags& operator|=(TFlags AOther) {
    FBits |= AOther.FBits;
    return *this;
  }
  // Takes AOther's flags out.
  constexpr TFlags& operator-=(TFlags AOther) {
    FBits &= ~AOther.FBits;
    return *this;
  }
  friend constexpr TFlags operator|(TFlags A, TFlags B) { return A |= B; }
  friend constexpr TFlags operator-(TFlags A, TFlags B) { return A -= B; }
  friend constexpr bool operator==(TFlags, TFlags) = default;

private:
  uint32_t FBits = 0;
};

template <typename E>
  requires IsFlagEnum<E>
constexpr TFlags<E> operator|(E A, E B) {
  return TFlags<E>(A) | B;
}

}  // namespace Gui
