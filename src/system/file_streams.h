// FileStreams: the program's numbered file streams (Open ... For Output As #n, Print #n,
// Close #n). Files are written through kernel32, so paths are the machine's Windows paths;
// text is UTF-8 in and Windows-1252 with CR LF line ends in the file. Failures are
// forms::RunTimeError with the classic numbers.
#pragma once

#include <string_view>

namespace FileStreams {

// Creates path anew (an existing file is replaced) as stream number (1 to 511).
// Errors: 52 for a bad number, 55 when the number is already open, 76 for a missing
// folder, 75 when the file cannot be created.
void OpenForOutput(int number, std::string_view path);
// Writes text and CR LF. Error 52 when the number is not open; 61 when the disk is full,
// 57 for any other write failure.
void PrintLine(int number, std::string_view text);
// Closes the stream; a number that is not open is left alone.
void Close(int number);
bool IsOpen(int number);

} // namespace FileStreams
