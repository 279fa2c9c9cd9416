// The calendar time of a moment in the local time zone, safe to call from any thread.
#pragma once

#include <ctime>

std::tm LocalTime(std::time_t when);
