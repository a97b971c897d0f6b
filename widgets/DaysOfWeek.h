#pragma once

#include <cstdint>
#include <initializer_list>

namespace widgets {

// Weekdays of the calendars and the date edit, Sunday = 0.
enum class TDayOfWeekName : std::uint8_t { Sun = 0, Mon, Tue, Wed, Thu, Fri, Sat };

// A set of weekdays: bit n stands for weekday n.
class TDaysOfWeek {
public:
    constexpr TDaysOfWeek() = default;
    constexpr TDaysOfWeek(std::initializer_list<TDayOfWeekName> days) {
        for (TDayOfWeekName day : days)
            bits_ |= Bit(day);
    }
    static constexpr TDaysOfWeek FromBits(std::uint8_t bits) {
        TDaysOfWeek set;
        set.bits_ = bits & 0x7F;
        return set;
    }

    constexpr bool Contains(TDayOfWeekName day) const { return (bits_ & Bit(day)) != 0; }
    constexpr std::uint8_t Bits() const { return bits_; }
    constexpr bool operator==(const TDaysOfWeek&) const = default;

private:
    static constexpr std::uint8_t Bit(TDayOfWeekName day) { return std::uint8_t(1u << unsigned(day)); }
    std::uint8_t bits_ = 0;
};

} // namespace widgets
