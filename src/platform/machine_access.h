// Whether the program may change the computer it runs on at all. A portable machine can be
// opened read-only (its folder or store cannot be written), or refuse the folder of the
// drive that holds Windows (a link, missing, stored outside the machine); every change
// would then fail one by one, deep inside a step. A program asks once, before its first
// window. A real Windows computer always answers that it may.
#pragma once

#include <string>

namespace win {

// Empty when changes can be made; else why not, in words for a person: "the machine is
// read-only (...)" or "drive C: is refused: <the reason>".
std::string WhyNoChangeCanBeMade();

} // namespace win
