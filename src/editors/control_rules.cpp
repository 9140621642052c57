// The editors' shared controls: captions, the scroll-code table, page steps, number buttons.
#include "editors/control_rules.h"

namespace kd215 {

const char* const kLoadCaption = "Ładuj";
const char* const kCommitCaption = "Zatwierdź";

unsigned pageStep(unsigned value, unsigned max, bool up) {
    if (up) {
        for (unsigned k = 0; k <= 4; ++k) {
            const unsigned mark = k * max / 4;
            if (mark > value) return mark;
        }
        return max;
    }
    for (int k = 4; k >= 0; --k) {
        const unsigned mark = static_cast<unsigned>(k) * max / 4;
        if (mark < value) return mark;
    }
    return 0;
}

std::optional<uint16_t> scrolledValue(ScrollAxis axis, int code, uint16_t value, unsigned max,
                                      unsigned thumb) {
    // Code 0 is "line up" on a vertical bar but "line left" on a horizontal one, and so on for the
    // pages: the codes that move the thumb up move a vertical bar's value towards its max.
    const bool towardsMax = axis == ScrollAxis::Vertical ? (code == 0 || code == 2)
                                                         : (code == 1 || code == 3);
    switch (code) {
        case 0:  // SB_LINEUP, SB_LINELEFT
        case 1:  // SB_LINEDOWN, SB_LINERIGHT
            if (towardsMax) return value < max ? static_cast<uint16_t>(value + 1) : value;
            return value > 0 ? static_cast<uint16_t>(value - 1) : value;
        case 2:  // SB_PAGEUP, SB_PAGELEFT
        case 3:  // SB_PAGEDOWN, SB_PAGERIGHT
            return static_cast<uint16_t>(pageStep(value, max, towardsMax));
        case 4:  // SB_THUMBPOSITION
        case 5:  // SB_THUMBTRACK
            if (thumb > max) thumb = max;
            return static_cast<uint16_t>(axis == ScrollAxis::Vertical ? max - thumb : thumb);
        default:
            return std::nullopt;
    }
}

long thumbPosition(ScrollAxis axis, long number, unsigned max) {
    return axis == ScrollAxis::Vertical ? static_cast<long>(max) - number : number;
}

std::optional<unsigned> nextNumber(unsigned shown, unsigned limit) {
    if (shown > limit) return limit;
    if (shown == limit) return std::nullopt;
    return shown + 1;
}

std::optional<unsigned> previousNumber(unsigned shown) {
    if (shown < 1) return 1u;
    if (shown == 1) return std::nullopt;
    return shown - 1;
}

}  // namespace kd215
