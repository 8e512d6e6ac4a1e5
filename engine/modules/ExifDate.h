// Dates that photos carry in TIFF structures (Exif blocks of HEIF files,
// the metadata boxes of Canon raw files), as the "time" attribute.
#pragma once

#include <cstddef>
#include <cstdint>

class Attributes;
class ByteCursor;

// Seconds since 1970-01-01 of "YYYY:MM:DD HH:MM:SS", the camera's clock
// taken as UTC; false when the text is not such a date.
bool parseExifDate(const char* text, size_t length, int64_t& seconds);

// The date of the TIFF structure (byte-order mark, IFD0) that fills
// [begin, end) of the cursor: DateTimeOriginal, in IFD0 or in the Exif IFD
// it points to, else DateTime.  False when there is none.
bool tiffDate(ByteCursor& cursor, uint64_t begin, uint64_t end, int64_t& seconds);

// Seconds since 1970-01-01 of a day and time of the proleptic Gregorian
// calendar.
int64_t secondsSince1970(int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second);

// Sets "time" when `seconds` lies from 1970 to 2106 (the attribute's 32
// bits), as the other modules do.
void setTimeAttribute(Attributes& attributes, int64_t seconds);
