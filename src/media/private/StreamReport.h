#pragma once

// The movie report that PreOpen writes into Info: the container and its
// streams, composed from the values the libraries expose.
#include <cstdint>
#include <string>

#include "media/private/EntryPoints.h"

namespace VELAVCODEC {

// Rounds half-way values to the even neighbour: 2.5 -> 2, 3.5 -> 4.
double RoundHalfEven(double x);

// Appends ", <rate> <unit>": two decimals when needed, "k" for thousands.
void AppendRate(std::string& info, double rate, const char* unit);

// "HH:MM:SS.hh" of a duration in microseconds.
std::string FormatDuration(int64_t microseconds);

// "S.UUUUUU" of a start time in microseconds.
std::string FormatStart(const EntryPoints& api, int64_t microseconds);

// The whole report, from "[ BEGIN MOVIE INFO ]" to "[ END MOVIE INFO ]".
std::string ReportFormat(const EntryPoints& api, const AVFormatContext* format, int fileNumber,
                         const std::string& fileName);

}  // namespace VELAVCODEC
