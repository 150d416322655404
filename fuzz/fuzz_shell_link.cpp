// The .lnk reader on arbitrary bytes. Bit 0 of the first byte chooses the input: clear,
// the rest is the file; set, the rest is XORed onto a link the writer made (and appended
// past its end), and the other bits of the first byte cut that many bytes (up to 63) off
// its end, so damaged structures deep inside a valid file are reached without seeds.
// Whatever decodes must encode again (when it has a target) and decode to the same link.
#include "platform/portable/shell/shell_link.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using portable::ShellLink;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_shell_link: %s\n", what);
    std::abort();
}

const std::string& Sample() {
    static const std::string bytes = [] {
        ShellLink link;
        link.target = "C:\\PROGRA~1\\ZEPANU\\Zepanu.exe";
        link.name = "Zepanu";
        link.relativePath = "..\\..\\..\\..\\PROGRA~1\\ZEPANU\\Zepanu.exe";
        link.workingDir = "C:\\PROGRA~1\\ZEPANU";
        link.arguments = "/s";
        link.iconLocation = link.target;
        link.volumeLabel = "ZEP";
        std::string out;
        if (!portable::EncodeShellLink(link, out))
            Fail("the sample link cannot be written");
        return out;
    }();
    return bytes;
}

std::string Input(const std::uint8_t* data, size_t size) {
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    if (!(data[0] & 1))
        return rest;
    std::string bytes = Sample();
    bytes.resize(bytes.size() - data[0] / 2 % 64);
    for (size_t i = 0; i < rest.size(); ++i) {
        if (i < bytes.size())
            bytes[i] = static_cast<char>(bytes[i] ^ rest[i]);
        else
            bytes += rest[i];
    }
    return bytes;
}

bool Same(const ShellLink& a, const ShellLink& b) {
    return a.target == b.target && a.name == b.name && a.relativePath == b.relativePath &&
           a.workingDir == b.workingDir && a.arguments == b.arguments &&
           a.iconLocation == b.iconLocation && a.iconIndex == b.iconIndex &&
           a.showCommand == b.showCommand && a.hotKey == b.hotKey &&
           a.fileAttributes == b.fileAttributes && a.fileSize == b.fileSize &&
           a.writeTime.dwLowDateTime == b.writeTime.dwLowDateTime &&
           a.writeTime.dwHighDateTime == b.writeTime.dwHighDateTime && a.driveType == b.driveType &&
           a.driveSerial == b.driveSerial && a.volumeLabel == b.volumeLabel;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0 || size > 70000)
        return 0;
    const std::string bytes = Input(data, size);
    ShellLink link;
    std::string error;
    if (!portable::DecodeShellLink(bytes, link, error)) {
        if (error.rfind("offset 0x", 0) != 0)
            Fail("a refusal without its offset");
        return 0;
    }
    if (!error.empty())
        Fail("an error text on success");
    std::string again;
    if (!portable::EncodeShellLink(link, again))
        return 0; // nothing to point at (no local path): not writable, fine to read
    ShellLink reread;
    if (!portable::DecodeShellLink(again, reread, error))
        Fail("a link the writer made does not decode");
    if (!Same(link, reread))
        Fail("a link changed on its way through the writer");
    return 0;
}
