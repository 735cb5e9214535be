#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Corvane {

// A document's characters as UTF-8, decoded the way the XML library reads the same bytes, so
// that checking this text checks what the reader will see. Encodings: UTF-8 (with or without
// a byte-order mark), UTF-16 and UTF-32 in either byte order (a byte-order mark, or an
// encoding declaration naming them), and ISO-8859-1 when declared as "ISO-8859-1" or
// "latin1". Any other declared encoding is taken only for pure ASCII bytes, where every
// ASCII-compatible encoding agrees.
class XmlSource {
public:
    // A fault in the bytes themselves; `offset` counts bytes from the start of the file.
    struct DecodeError {
        std::string reason;
        std::size_t offset;
    };

    // Throws DecodeError. The bytes must outlive the object.
    explicit XmlSource(std::string_view bytes);
    // text() may point into the object itself.
    XmlSource(const XmlSource&) = delete;
    XmlSource& operator=(const XmlSource&) = delete;

    // Valid UTF-8, without the byte-order mark.
    std::string_view text() const { return text_; }
    // Where the character at `textOffset` of text() starts in the file's bytes.
    std::size_t fileOffset(std::size_t textOffset) const;
    // Text offsets map one to one onto the file's bytes (UTF-8 files).
    bool isFileText() const { return encoding_ == Encoding::UTF8; }

    // The character at `pos` of valid UTF-8 text, and its length in bytes.
    static char32_t charAt(std::string_view text, std::size_t pos, std::size_t& length);

private:
    enum class Encoding { UTF8, LATIN1, UTF16LE, UTF16BE, UTF32LE, UTF32BE };

    void detectEncoding();
    void convert();
    void convertAsciiFamily(std::string_view body); // UTF-8, ISO-8859-1, ASCII
    void convertWide(std::string_view body);        // UTF-16, UTF-32

    std::string_view bytes_;
    Encoding encoding_ = Encoding::UTF8;
    std::size_t markLength_ = 0; // byte-order mark
    std::string converted_;      // the text when the file is not UTF-8
    std::string_view text_;
};

} // namespace Corvane
