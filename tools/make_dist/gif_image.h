// GIF89a images of the documentation and the icon folder: one picture in the 16 standard
// colours, compressed with the variable-length LZW of the GIF format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace make_dist {

class Picture;

// The whole file: header, global colour table, a graphic control extension making the
// undrawn pixels transparent (when a colour is left over for them), the image, trailer.
std::string GifImage(const Picture& picture);

// GIF's LZW: codes of minCodeSize + 1 to 12 bits, least significant bit first, starting
// with a clear code, a clear code whenever the table is full, and the end code last.
// Returns the packed bytes without the sub-block framing.
std::string LzwEncode(const std::vector<std::uint8_t>& indices, int minCodeSize);

} // namespace make_dist
