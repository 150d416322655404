#include "program_image.h"

#include "bytes.h"
#include "german_text.h"
#include "random.h"

#include <array>
#include <vector>

namespace make_dist {
namespace {

constexpr std::size_t kStubSize = 0x80;
constexpr std::uint32_t kImageBase = 0x00400000;
constexpr std::uint32_t kIdiomShare = 10; // percent of a function's statements

// What the code of one program refers to again and again: imported functions, globals,
// string constants, and the instruction sequences its compiler keeps emitting. Reuse is
// what makes real code pack.
struct Symbols {
    std::vector<std::uint32_t> imports, globals, strings;
    std::vector<std::string> idioms;
};

Symbols MakeSymbols(Random& random) {
    Symbols symbols;
    for (int i = 0; i < 48; ++i)
        symbols.imports.push_back(kImageBase + 0x6000 + 4 * random.Below(400));
    for (int i = 0; i < 64; ++i)
        symbols.globals.push_back(kImageBase + 0x8000 + 4 * random.Below(2000));
    for (int i = 0; i < 96; ++i)
        symbols.strings.push_back(kImageBase + 0x7000 + random.Below(0x1000));
    return symbols;
}

void PutInstruction(std::string& out, Random& random, const Symbols& symbols);

void AddIdioms(Symbols& symbols, Random& random) {
    for (int i = 0; i < 40; ++i) {
        std::string idiom;
        for (int n = 3 + static_cast<int>(random.Below(4)); n > 0; --n)
            PutInstruction(idiom, random, symbols);
        symbols.idioms.push_back(idiom);
    }
}

constexpr std::array<std::uint8_t, 10> kFrameOffsets = {0x08, 0x0C, 0x10, 0x14, 0x18,
                                                        0xF8, 0xFC, 0xF4, 0xF0, 0xEC};
constexpr std::array<std::uint8_t, 8> kRegisters = {0, 0, 0, 1, 1, 2, 6, 7}; // eax ecx edx esi edi

// ModR/M byte of "reg, [ebp+disp8]".
unsigned FrameOperand(unsigned reg) {
    return 0x45 | reg << 3;
}

void PutInstruction(std::string& out, Random& random, const Symbols& symbols) {
    const unsigned reg = random.Pick(kRegisters);
    const unsigned offset = random.Pick(kFrameOffsets);
    const unsigned kind = random.Below(16);
    switch (kind) {
    case 0:
    case 1: // mov reg, [ebp+offset]
    case 2: // mov [ebp+offset], reg
    case 3: // lea reg, [ebp+offset]
        PutU8(out, kind == 3 ? 0x8D : kind == 2 ? 0x89 : 0x8B);
        PutU8(out, FrameOperand(reg));
        PutU8(out, offset);
        return;
    case 4: { // call near, somewhere within 64 KiB
        const std::int32_t distance = static_cast<std::int32_t>(random.Below(0x20000)) - 0x10000;
        PutU8(out, 0xE8);
        PutU32(out, static_cast<std::uint32_t>(distance));
        return;
    }
    case 5: // call [import]
        out += "\xFF\x15";
        PutU32(out, random.Pick(symbols.imports));
        return;
    case 6: // push small constant
        PutU8(out, 0x6A);
        PutU8(out, random.Percent(60) ? 0 : random.Below(32));
        return;
    case 7: // push string
        PutU8(out, 0x68);
        PutU32(out, random.Pick(symbols.strings));
        return;
    case 8: // add esp, n
        out += "\x83\xC4";
        PutU8(out, 4 * (1 + random.Below(6)));
        return;
    case 9: { // test eax, eax; jz/jnz short
        const unsigned jump = random.Percent(50) ? 0x74 : 0x75;
        out += "\x85\xC0";
        PutU8(out, jump);
        PutU8(out, random.Below(0x60));
        return;
    }
    case 10: // mov reg, reg
        PutU8(out, 0x8B);
        PutU8(out, 0xC0 | reg << 3 | random.Pick(kRegisters));
        return;
    case 11: // mov dword [ebp+offset], imm32
        out += "\xC7\x45";
        PutU8(out, offset);
        PutU32(out, random.Percent(50) ? 0 : random.Below(256));
        return;
    case 12: { // mov eax, [global] / mov [global], eax
        const unsigned opcode = random.Percent(50) ? 0xA1 : 0xA3;
        PutU8(out, opcode);
        PutU32(out, random.Pick(symbols.globals));
        return;
    }
    case 13: // cmp eax, imm8
        out += "\x83\xF8";
        PutU8(out, random.Below(16));
        return;
    case 14: { // jz/jnz near
        const unsigned jump = random.Percent(50) ? 0x84 : 0x85;
        PutU8(out, 0x0F);
        PutU8(out, jump);
        PutU32(out, random.Below(0x400));
        return;
    }
    default: // push reg / xor eax, eax
        if (random.Percent(50))
            PutU8(out, 0x50 + reg);
        else
            out += "\x33\xC0";
    }
}

void PutFunction(std::string& out, Random& random, const Symbols& symbols) {
    out += "\x55\x8B\xEC"; // push ebp; mov ebp, esp
    if (random.Percent(70)) {
        out += "\x83\xEC"; // sub esp, locals
        PutU8(out, 4 * (1 + random.Below(16)));
    }
    const bool saves = random.Percent(60);
    if (saves)
        out += "\x53\x56\x57";
    for (int i = 6 + static_cast<int>(random.Below(40)); i > 0; --i) {
        if (random.Percent(kIdiomShare))
            out += random.Pick(symbols.idioms);
        else
            PutInstruction(out, random, symbols);
    }
    if (saves)
        out += "\x5F\x5E\x5B";
    out += "\x8B\xE5\x5D"; // mov esp, ebp; pop ebp
    if (random.Percent(50)) {
        PutU8(out, 0xC3); // ret
    } else {
        PutU8(out, 0xC2); // ret n
        PutU16(out, 4 * (1 + random.Below(4)));
    }
    while (out.size() % 16)
        out += '\xCC';
}

constexpr std::array<std::string_view, 24> kImportNames = {
    "GetModuleHandleA",   "GetProcAddress",       "LoadLibraryA",
    "FreeLibrary",        "CreateFileA",          "ReadFile",
    "WriteFile",          "CloseHandle",          "GetFileAttributesA",
    "SetFileAttributesA", "FindFirstFileA",       "FindNextFileA",
    "FindClose",          "GetWindowsDirectoryA", "GetSystemDirectoryA",
    "GetTempPathA",       "RegOpenKeyExA",        "RegQueryValueExA",
    "RegSetValueExA",     "RegCloseKey",          "SendMessageA",
    "PostMessageA",       "DefWindowProcA",       "LoadIconA",
};

void PutImportNames(std::string& out, Random& random) {
    for (int i = 0; i < 12; ++i) {
        PutU16(out, random.Below(600)); // hint
        out += random.Pick(kImportNames);
        out += '\0';
        if (out.size() % 2)
            out += '\0';
    }
}

void PutStrings(std::string& out, Random& random) {
    GermanText prose(random);
    const bool wide = random.Percent(50); // a resource string table
    for (int i = 0; i < 10; ++i) {
        std::string text = WindowsText(prose.Sentence());
        if (wide) {
            PutU16(out, static_cast<unsigned>(text.size()));
            for (unsigned char c : text)
                PutU16(out, c);
            continue;
        }
        out += text;
        out += '\0';
    }
    while (out.size() % 4)
        out += '\0';
}

void PutTable(std::string& out, Random& random) {
    switch (random.Below(3)) {
    case 0: { // addresses in ascending order: a jump table or vtable
        std::uint32_t address = kImageBase + 0x1000 + random.Below(0x40000);
        for (int i = 8 + static_cast<int>(random.Below(56)); i > 0; --i)
            PutU32(out, address += 16 * (1 + random.Below(24)));
        break;
    }
    case 1: { // a byte lookup table
        const unsigned step = 1 + 2 * random.Below(8);
        for (unsigned i = 0; i < 256; ++i)
            PutU8(out, (i * step) ^ (i >> 3));
        break;
    }
    default: // a record array: small numbers and flags
        for (int i = 16 + static_cast<int>(random.Below(48)); i > 0; --i) {
            PutU16(out, i);
            PutU16(out, random.Below(8));
            PutU32(out, random.Percent(70) ? 0 : random.Below(1000));
        }
    }
}

// Packed data inside a program (a compressed bitmap, say): nothing to gain.
void PutNoise(std::string& out, Random& random) {
    for (int i = 256 + static_cast<int>(random.Below(1024)); i > 0; --i)
        PutU8(out, random.Byte());
}

} // namespace

std::string DosStub() {
    std::string out = "MZ";
    PutU16(out, kStubSize % 512); // bytes in the last page
    PutU16(out, 1);               // pages
    PutU16(out, 0);               // relocations
    PutU16(out, 4);               // header paragraphs
    PutU16(out, 0x10);            // extra paragraphs needed
    PutU16(out, 0xFFFF);          // extra paragraphs wanted
    PutU16(out, 0);               // ss
    PutU16(out, 0xB8);            // sp
    PutU16(out, 0);               // checksum
    PutU16(out, 0);               // ip
    PutU16(out, 0);               // cs
    PutU16(out, 0x40);            // relocation table
    PutU16(out, 0);               // overlay number
    out.resize(0x40, '\0');       // no new-style header follows (e_lfanew 0)
    const unsigned char code[] = {
        0x0E,             // push cs
        0x1F,             // pop ds
        0xBA, 0x0E, 0x00, // mov dx, message (right behind the code)
        0xB4, 0x09,       // mov ah, 9: print up to "$"
        0xCD, 0x21,       // int 21h
        0xB8, 0x01, 0x4C, // mov ax, 4C01h: exit with status 1
        0xCD, 0x21,       // int 21h
    };
    static_assert(sizeof code == 0x0E);
    out.append(reinterpret_cast<const char*>(code), sizeof code);
    out += "Platzhalter - kein ausfuehrbares Programm.\r\n$";
    out.resize(kStubSize, '\0');
    return out;
}

std::string ProgramImage(std::string_view name, std::size_t size) {
    Random random(name);
    Symbols symbols = MakeSymbols(random);
    AddIdioms(symbols, random);
    std::string out = DosStub();
    out.reserve(size + 4096);
    while (out.size() < size) {
        const unsigned kind = random.Below(100);
        if (kind < 62) {
            for (int i = 1 + static_cast<int>(random.Below(8)); i > 0; --i)
                PutFunction(out, random, symbols);
        } else if (kind < 72) {
            PutStrings(out, random);
        } else if (kind < 80) {
            PutImportNames(out, random);
        } else if (kind < 96) {
            PutTable(out, random);
        } else {
            PutNoise(out, random);
        }
    }
    out.resize(size);
    return out;
}

} // namespace make_dist
