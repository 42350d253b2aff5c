#pragma once
// The one time-stamp form of the program, shared by the error log and the schedules:
// "yyyy/mm/dd hh:mm:ss" and, with milliseconds, ":mmm" after it.

#include "base/WideString.h"

#include <windows.h>

#include <cstdint>

// Every field has a fixed width: zero-padded when shorter, only its last digits when longer.
[[nodiscard]] WideString FormatTimeStamp(const SYSTEMTIME& time, bool withMilliseconds);

// Local wall-clock time counted in whole seconds since 1601 (no time-zone conversion either way).
[[nodiscard]] uint64_t SecondsSince1601(const SYSTEMTIME& time);
[[nodiscard]] SYSTEMTIME TimeFromSecondsSince1601(uint64_t seconds);
[[nodiscard]] uint64_t LocalNowInSeconds();
