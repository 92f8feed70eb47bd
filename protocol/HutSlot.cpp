#include "protocol/HutSlot.h"

#include <QByteArray>
#include <cmath>
#include <cstdint>
#include <limits>

namespace HutSlot {

std::optional<int> readNumber(QByteArrayView value)
{
    qsizetype i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
        ++i;
    const qsizetype start = i;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        ++i;
    auto digits = [&] {
        while (i < value.size() && value[i] >= '0' && value[i] <= '9')
            ++i;
    };
    const qsizetype firstDigit = i;
    digits();
    // A plain whole number of a few digits needs no conversion through a double.
    if (i - firstDigit <= 5 && !(i < value.size() && value[i] == '.')) {
        int number = 0;
        for (qsizetype d = firstDigit; d < i; ++d)
            number = number * 10 + (value[d] - '0');
        if (start < value.size() && value[start] == '-')
            number = -number;
        if (number < std::numeric_limits<std::int16_t>::min() || number > std::numeric_limits<std::int16_t>::max())
            return std::nullopt;
        return number;
    }
    if (i < value.size() && value[i] == '.') {
        ++i;
        digits();
    }
    bool ok = false;
    const double number = value.sliced(start, i - start).toByteArray().toDouble(&ok);
    const double rounded = ok ? std::nearbyint(number) : 0.0;  // the default rounding sends halves to even
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() && rounded <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return int(rounded);
}

}  // namespace HutSlot
