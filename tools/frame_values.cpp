// Payload layouts. Text fields carry an encoding byte first: 0 ISO-8859-1,
// 1 UTF-16 with a byte order mark, 2 UTF-16 big-endian, 3 UTF-8; a field ends
// at a zero byte (two aligned zero bytes in UTF-16) or at the end of the data.
// Text frames may hold several values separated by terminators; before ID3v2.4
// a run of zero bytes after the last value is padding, not empty values.
#include "frame_values.h"

#include <cstdio>

#include "utf8.h"

namespace tool {

namespace {

using Json = nlohmann::ordered_json;

const char *const kPictureTypes[] = {
    "other", "file icon", "other file icon", "front cover", "back cover", "leaflet page", "media",
    "lead artist", "artist", "conductor", "band", "composer", "lyricist", "recording location",
    "during recording", "during performance", "video capture", "a bright coloured fish", "illustration",
    "band logotype", "publisher logotype"};

struct Malformed {
    std::string what;
};

// Reads fields off the front of a payload.
class Fields {
public:
    Fields(const std::vector<unsigned char> &data, int major) : m_data(data), m_major(major) {}

    bool AtEnd() const { return m_at >= m_data.size(); }
    size_t Left() const { return m_data.size() - m_at; }
    const unsigned char *Here() const { return m_data.data() + m_at; }

    unsigned char Byte(const char *what) {
        if (AtEnd()) throw Malformed{std::string("no ") + what};
        return m_data[m_at++];
    }
    unsigned char Encoding() {
        m_encoding = Byte("text encoding byte");
        if (m_encoding > 3) throw Malformed{"unknown text encoding " + std::to_string(m_encoding)};
        return m_encoding;
    }
    std::string Raw(size_t count, const char *what) {
        if (Left() < count) throw Malformed{std::string("no ") + what};
        std::string text(reinterpret_cast<const char *>(Here()), count);
        m_at += count;
        return text;
    }
    // A single-byte field up to its terminator (MIME types, owners, URLs).
    std::string Latin1() { return Latin1ToUtf8(Field(1)); }
    // A field in the frame's text encoding.
    std::string Text() {
        const bool wide = m_encoding == 1 || m_encoding == 2;
        const std::string bytes = Field(wide ? 2 : 1);
        const auto *b = reinterpret_cast<const unsigned char *>(bytes.data());
        switch (m_encoding) {
        case 0: return Latin1ToUtf8(bytes);
        case 3: return Narrow(Widen(bytes));
        case 2: return Utf16ToUtf8(b, bytes.size(), true);
        default:
            if (bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) return Utf16ToUtf8(b + 2, bytes.size() - 2, true);
            if (bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) return Utf16ToUtf8(b + 2, bytes.size() - 2, false);
            return Utf16ToUtf8(b, bytes.size(), false);
        }
    }
    // Values up to the end of the data.
    std::vector<std::string> Texts() {
        std::vector<std::string> values;
        while (!AtEnd()) {
            values.push_back(Text());
            if (m_major < 4 && AllZero()) break;
        }
        return values;
    }

private:
    bool AllZero() const {
        for (size_t i = m_at; i < m_data.size(); ++i)
            if (m_data[i]) return false;
        return true;
    }
    std::string Field(size_t unit) {
        size_t end = m_at;
        while (end + unit <= m_data.size() && !(m_data[end] == 0 && (unit == 1 || m_data[end + 1] == 0))) end += unit;
        if (end + unit > m_data.size()) end = m_data.size();
        std::string bytes(reinterpret_cast<const char *>(Here()), end - m_at);
        m_at = end + unit <= m_data.size() ? end + unit : m_data.size();
        return bytes;
    }

    const std::vector<unsigned char> &m_data;
    int m_major;
    size_t m_at = 0;
    unsigned char m_encoding = 0;
};

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

std::string Bytes(size_t size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

std::string JoinValues(const std::vector<std::string> &values) {
    if (values.size() == 1) return values[0];
    std::string line;
    for (const std::string &v : values) line += (line.empty() ? "" : ", ") + Quoted(v);
    return line;
}

bool Printable(const std::string &text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E) return false;
    return !text.empty();
}

FrameValue TextFrame(Fields &f) {
    f.Encoding();
    const std::vector<std::string> values = f.Texts();
    return {{{"text", values}}, JoinValues(values)};
}

FrameValue UserText(Fields &f) {
    f.Encoding();
    const std::string description = f.Text();
    const std::vector<std::string> values = f.Texts();
    return {{{"description", description}, {"text", values}}, description + " = " + JoinValues(values)};
}

FrameValue Url(Fields &f) {
    const std::string url = f.Latin1();
    return {{{"url", url}}, url};
}

FrameValue UserUrl(Fields &f) {
    f.Encoding();
    const std::string description = f.Text();
    const std::string url = f.Latin1();
    return {{{"description", description}, {"url", url}}, description + " = " + url};
}

// COMM (text may hold several values) and USLT (one text).
FrameValue Comment(Fields &f, bool lyrics) {
    f.Encoding();
    const std::string language = Latin1ToUtf8(f.Raw(3, "language"));
    const std::string description = f.Text();
    Json fields = {{"language", language}, {"description", description}};
    std::string text;
    if (lyrics) {
        text = f.AtEnd() ? "" : f.Text();
        fields["text"] = text;
    } else {
        const std::vector<std::string> values = f.Texts();
        fields["text"] = values;
        text = JoinValues(values);
    }
    return {fields, "[" + language + "] " + description + " = " + text};
}

FrameValue Picture(Fields &f, bool v22) {
    f.Encoding();
    const std::string mime = v22 ? Latin1ToUtf8(f.Raw(3, "image format")) : f.Latin1();
    const unsigned type = f.Byte("picture type");
    const std::string description = f.Text();
    const size_t size = f.Left();
    const std::string typeName = type < sizeof kPictureTypes / sizeof *kPictureTypes ? kPictureTypes[type] : "unknown";
    return {{{v22 ? "format" : "mime", mime}, {"picture_type", type}, {"description", description},
             {"data_size", size}},
            typeName + " (" + std::to_string(type) + "), " + mime + ", " + Quoted(description) + ", " + Bytes(size)};
}

FrameValue UniqueId(Fields &f) {
    const std::string owner = f.Latin1();
    const std::string id(reinterpret_cast<const char *>(f.Here()), f.Left());
    const std::string hex = HexStart(f.Here(), f.Left(), f.Left());
    return {{{"owner", owner}, {"identifier_hex", hex}},
            owner + ", id " + (Printable(id) ? Quoted(id) : HexStart(f.Here(), f.Left(), 16))};
}

FrameValue Object(Fields &f) {
    f.Encoding();
    const std::string mime = f.Latin1();
    const std::string fileName = f.Text();
    const std::string description = f.Text();
    const size_t size = f.Left();
    return {{{"mime", mime}, {"filename", fileName}, {"description", description}, {"data_size", size}},
            (mime.empty() ? "no MIME type" : mime) + ", file " + Quoted(fileName) + ", " + Quoted(description) +
                ", " + Bytes(size)};
}

FrameValue Private(Fields &f) {
    const std::string owner = f.Latin1();
    return {{{"owner", owner}, {"data_size", f.Left()}}, owner + ", " + Bytes(f.Left())};
}

FrameValue Popularimeter(Fields &f) {
    const std::string email = f.Latin1();
    const unsigned rating = f.Byte("rating");
    unsigned long long count = 0;
    for (size_t i = 0; i < f.Left() && i < 8; ++i) count = count << 8 | f.Here()[i];
    Json fields = {{"email", email}, {"rating", rating}};
    if (f.Left()) fields["count"] = count;
    return {fields, email + ", rating " + std::to_string(rating) + (f.Left() ? ", count " + std::to_string(count) : "")};
}

FrameValue Opaque(const std::vector<unsigned char> &data) {
    const std::string hex = HexStart(data.data(), data.size(), 16);
    return {{{"data_size", data.size()}, {"data_start_hex", hex}},
            Bytes(data.size()) + (data.empty() ? "" : ": " + hex)};
}

FrameValue Decode(const std::string &id, int major, Fields &f, const std::vector<unsigned char> &data) {
    if (id == "TXXX" || id == "TXX") return UserText(f);
    if (id == "WXXX" || id == "WXX") return UserUrl(f);
    if (id[0] == 'T') return TextFrame(f);
    if (id[0] == 'W') return Url(f);
    if (id == "COMM" || id == "COM") return Comment(f, false);
    if (id == "USLT" || id == "ULT") return Comment(f, true);
    if (id == "APIC" || id == "PIC") return Picture(f, major == 2);
    if (id == "UFID" || id == "UFI") return UniqueId(f);
    if (id == "GEOB" || id == "GEO") return Object(f);
    if (id == "PRIV") return Private(f);
    if (id == "POPM" || id == "POP") return Popularimeter(f);
    return Opaque(data);
}

} // namespace

std::string HexStart(const unsigned char *data, size_t size, size_t limit) {
    std::string hex;
    char pair[3];
    for (size_t i = 0; i < size && i < limit; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", data[i]);
        hex += pair;
    }
    return size > limit ? hex + "..." : hex;
}

namespace {

// Line breaks and other control characters spelled out, so a value stays on
// its line.
std::string OneLine(const std::string &text) {
    std::string line;
    for (char c : text) {
        if (c == '\n') line += "\\n";
        else if (c == '\r') line += "\\r";
        else if (c == '\t') line += "\\t";
        else line.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    }
    return line;
}

FrameValue DecodeOrDump(const std::string &id, int major, const std::vector<unsigned char> &data) {
    Fields fields(data, major);
    try {
        if (!id.empty()) return Decode(id, major, fields, data);
    } catch (const Malformed &problem) {
        FrameValue value = Opaque(data);
        value.fields["error"] = problem.what;
        value.line = problem.what + "; " + value.line;
        return value;
    }
    return Opaque(data);
}

} // namespace

FrameValue DecodeFrame(const std::string &id, int major, const std::vector<unsigned char> &data) {
    FrameValue value = DecodeOrDump(id, major, data);
    value.line = OneLine(value.line);
    return value;
}

} // namespace tool
