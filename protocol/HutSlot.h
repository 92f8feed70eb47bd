#pragma once

#include <QByteArrayView>
#include <optional>

// Reading the slot number of a hut line.
namespace HutSlot {

inline constexpr int Places = 4;    // slots 1 to 4 are shown
inline constexpr int TableSize = 11;  // slots 5 to 11 exist only in the table

// The value's leading decimal number (leading blanks skipped, none reads as 0),
// rounded half to even; nullopt when it does not fit 16 bits.
std::optional<int> readNumber(QByteArrayView value);

}  // namespace HutSlot
