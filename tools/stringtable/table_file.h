// The stringtable tool's own reading of a string-table file's bytes: which
// encoding the reader will take it for, why the loader would find no keys in
// it, and the conversion between the encodings the reader takes. The library
// reads the texts; this only explains what it made of them.
#ifndef STRINGTABLE_TABLE_FILE_H
#define STRINGTABLE_TABLE_FILE_H

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace stringtable {

enum class Encoding { kUtf16Le, kUtf16Be, kUtf8Bom, kUtf8, kWindows1252 };

const char* EncodingName(Encoding encoding);

struct DecodedText {
    Encoding encoding;
    std::u32string text;                          // code points; a lone UTF-16 surrogate stays as itself
    std::size_t firstBadByte = std::string::npos; // kWindows1252: the first byte that is not UTF-8
};

// Decodes as the Linux reader does: a UTF-16LE, UTF-16BE or UTF-8 byte-order
// mark, else UTF-8 when every byte is, else Windows-1252.
DecodedText DecodeTable(std::string_view bytes);

// `text` in `encoding` (kUtf16Le and kUtf8Bom with their byte-order mark,
// kUtf8 without). A lone surrogate has no UTF-8 form: then nothing is
// returned and *badIndex tells where it is.
std::optional<std::string> EncodeTable(const std::u32string& text, Encoding encoding, std::size_t* badIndex);

// The loader's rules for a table file, applied before any byte is read: it
// must be a regular file of at most 16 MiB. Empty when the file passes (or
// does not exist); else why not, worded to follow the file's name ("is a
// directory, not a file", "is over 16 MiB: refused, as the library refuses
// it", "is a symbolic link loop").
std::string RefusalOf(const std::filesystem::path& path);

// The whole file when it passes RefusalOf, read with the same bound however
// it grows; else nothing and the reason, worded as RefusalOf words it
// ("cannot be opened: No such file or directory").
std::optional<std::string> ReadTableBytes(const std::filesystem::path& path, std::string* problem);

// What the bytes of one table file tell: `problem` says why the loader finds
// no key in it, worded to follow the file's name ("cannot be opened: ...",
// "is a directory, not a file", "has no [Strings] section", "is UTF-16 without
// a byte-order mark"); `warning` says that it was read other than as meant
// (not UTF-8, so read as Windows-1252).
struct FileFacts {
    std::string encoding; // empty when the file could not be read
    std::string problem;
    std::string warning;
};

FileFacts InspectTableFile(const std::filesystem::path& path);

} // namespace stringtable

#endif // STRINGTABLE_TABLE_FILE_H
