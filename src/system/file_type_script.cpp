// Setup_API: one file type registered through a registry script (or removed again).
#include "system/Setup_API.h"

#include "forms/on_error.h"
#include "platform/codepage.h"
#include "system/WinRegistry.h"

namespace Setup_API {
namespace {

constexpr std::string_view kImageExtractor = "{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}";
constexpr std::string_view kImageHandler = "{7376D660-C583-11d0-A3A5-00C04FD706EC}";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

WinRegistry::Stored Text(const std::string& utf8) {
    return {REG_SZ, win::ToAnsi(utf8) + '\0'};
}

void Remove(const std::string& extension) {
    WinRegistry::DeleteKey(WinRegistry::HKCR, extension + "File");
    WinRegistry::DeleteKey(WinRegistry::HKCR, "." + extension);
}

} // namespace

std::vector<FileTypeValue> FileTypeValues(const std::string& extension, const std::string& caption,
                                          const std::string& typeName, const std::string& command,
                                          const std::string& icon) {
    const std::string cls = extension + "File";
    return {
        {cls, "", Text(typeName)},
        {cls, "EditFlags", {REG_BINARY, std::string("\xd2\x01\x00\x00", 4)}},
        {cls + "\\Shell", "", Text(typeName), Text("")},
        {cls + "\\Shell\\" + typeName, "", Text(caption)},
        {"." + extension, "", Text(cls)},
        {cls + "\\DefaultIcon", "", Text(icon)},
        {cls + "\\Shell\\" + typeName + "\\Command", "", Text(command)},
        {"." + extension + "\\ShellEx\\" + std::string(kImageExtractor), "",
         Text(std::string(kImageHandler))},
    };
}

void WriteFileTypeScript(std::int16_t removeOnly, std::optional<std::string> extension,
                         std::optional<std::string> caption, std::optional<std::string> typeName,
                         std::optional<std::string> command, std::optional<std::string> icon) {
    if (removeOnly != 0) {
        if (extension)
            Remove(*extension);
        return;
    }
    if (!extension || !caption || !typeName || !command || !icon)
        return;
    const std::string& e = *extension;
    const std::string& t = *typeName;
    // One statement: a line that cannot be written fails the call.
    forms::OnError run;
    WinRegistry::RunRegScript(run, {
                                       "[HKEY_CLASSES_ROOT\\" + e + "File]",
                                       "@=" + Quoted(t),
                                       "\"EditFlags\"=hex:d2,01,00,00",
                                       "",
                                       "[HKEY_CLASSES_ROOT\\" + e + "File\\Shell]",
                                       "@=\"\"",
                                       "",
                                       "[HKEY_CLASSES_ROOT\\" + e + "File\\Shell\\" + t + "]",
                                       "@=" + Quoted(*caption),
                                       "",
                                       "[HKEY_CLASSES_ROOT\\." + e + "]",
                                       "@=" + Quoted(e + "File"),
                                   });

    using WinRegistry::HKCR;
    WinRegistry::WriteValue(HKCR, e + "File\\DefaultIcon", "", *icon);
    WinRegistry::WriteValue(HKCR, e + "File\\Shell\\" + t + "\\Command", "", *command);
    WinRegistry::WriteValue(HKCR, e + "File\\Shell", "", t);
    WinRegistry::WriteValue(HKCR, "." + e + "\\ShellEx\\" + std::string(kImageExtractor), "",
                            std::string(kImageHandler));
}

} // namespace Setup_API
