// The checks, cheapest first. A file the library cannot open is still looked
// at byte by byte, because the bytes usually tell why.
#include "tag_check.h"


#include <fstream>

#include <tagmill/tagmill.h>

#include "host_files.h"

#include "file_kind.h"
#include "inspect.h"
#include "tag_frames.h"

namespace tool {

namespace {

// Where the tag is supposed to start and how far it may reach: the start of
// the file and its end, or the data of the AIFF "ID3 " chunk and the chunk's end.
struct Home {
    bool found = false;
    uint64_t start = 0;
    uint64_t limit = 0;
    const char *container = "the file";
};

bool ReadAt(std::ifstream &in, uint64_t offset, unsigned char *buffer, size_t size) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char *>(buffer), static_cast<std::streamsize>(size));
    return static_cast<size_t>(in.gcount()) == size;
}

uint32_t Be32(const unsigned char *b) { return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]; }

// The first "ID3 " chunk of an AIFF form; a chunk that runs past the end of
// the file is a finding of its own.
Home FindAiffHome(std::ifstream &in, uint64_t fileSize, std::vector<Failure> &findings) {
    Home home;
    uint64_t at = 12;
    unsigned char header[8];
    while (at + 8 <= fileSize && ReadAt(in, at, header, 8)) {
        const uint64_t size = Be32(header + 4);
        if (std::string(reinterpret_cast<char *>(header), 4) == "ID3 ") {
            if (at + 8 + size > fileSize)
                findings.push_back({"the \"ID3 \" chunk at offset " + std::to_string(at) + " claims " +
                                        std::to_string(size) + " bytes, but the file ends " +
                                        std::to_string(fileSize - at - 8) + " bytes after its header",
                                    0, "chunk past end"});
            home = {true, at + 8, at + 8 + size < fileSize ? at + 8 + size : fileSize, "its \"ID3 \" chunk"};
            return home;
        }
        at += 8 + size + (size & 1);
    }
    return home;
}

// The engine passes over a tag of a version it does not know, so a header
// with such a version at the tag's home is told here.
void CheckVersion(std::ifstream &in, const Home &home, std::vector<Failure> &findings) {
    unsigned char h[5];
    if (!home.found || !ReadAt(in, home.start, h, 5) || h[0] != 'I' || h[1] != 'D' || h[2] != '3') return;
    const bool known = (h[3] == 2 || h[3] == 3 || h[3] == 4) && h[4] != 0xFF;
    if (!known)
        findings.push_back({"unrecognised ID3v2 version 2." + std::to_string(h[3]) + "." + std::to_string(h[4]) +
                                " at offset " + std::to_string(home.start) + "; the tag is ignored",
                            0, "unrecognised version"});
}

// Frame IDs are capital letters and digits, three of them in ID3v2.2.
bool ValidFrameId(const std::string &id, int major) {
    if (id.size() != (major == 2 ? 3u : 4u)) return false;
    for (char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// A parse result of a record class, as a finding.
void Decoded(long hr, const TagFrame &frame, std::vector<Failure> &findings) {
    if (tagmill::Succeeded(hr)) return;
    findings.push_back({"frame " + frame.id + " at tag offset " + std::to_string(frame.offset) + " cannot be decoded",
                        hr, "undecodable frame"});
}

void CheckFrameData(const TagFrame &frame, std::vector<Failure> &findings) {
    if (frame.opaque) return; // compressed or encrypted: not interpreted
    const std::string &id = frame.id;
    const unsigned char *data = frame.data.data();
    const long size = static_cast<long>(frame.data.size());
    const std::string where = "frame " + id + " at tag offset " + std::to_string(frame.offset);
    if (id[0] == 'T' && id != "TXXX" && id != "TXX") {
        if (size == 0)
            findings.push_back({where + " is empty (not even a text encoding byte)", 0, "empty frame"});
        else if (data[0] > 3)
            findings.push_back({where + " has the unknown text encoding " + std::to_string(data[0]), 0,
                                "undecodable frame"});
        return;
    }
    if (size == 0 && (id == "APIC" || id == "PIC" || id == "GEOB" || id == "GEO" || id == "TXXX" || id == "TXX" ||
                      id == "COMM" || id == "COM")) {
        findings.push_back({where + " is empty", 0, "empty frame"});
        return;
    }
    if (id == "APIC" || id == "PIC") {
        CTagmill::CPicture picture;
        Decoded(id == "APIC" ? picture.SetAPIC(data, size) : picture.SetPIC(data, size), frame, findings);
    } else if (id == "GEOB" || id == "GEO") {
        CTagmill::CGeob object;
        Decoded(object.ParseFrameData(data, size), frame, findings);
    } else if (id == "TXXX" || id == "TXX" || id == "COMM" || id == "COM") {
        CTagmill::CUserDefinedString text;
        Decoded(text.ParseFrameData(data, size, id[0] == 'C'), frame, findings);
    }
}

void CheckTagBytes(std::ifstream &in, uint64_t fileSize, const Home &home, const Inspection &inspection,
                   std::vector<Failure> &findings) {
    const tav_id3_v2_header &header = inspection.header;
    const uint64_t position = static_cast<uint64_t>(header.position);
    const uint64_t declared = 10 + static_cast<uint64_t>(header.size) + (header.footer ? 10 : 0);
    const uint64_t limit = home.found ? home.limit : fileSize;
    if (position + declared > limit)
        findings.push_back({"the ID3v2 tag at offset " + std::to_string(position) + " declares " +
                                std::to_string(declared) + " bytes, but " + home.container + " ends after " +
                                std::to_string(limit > position ? limit - position : 0),
                            0, "tag past end"});
    const uint64_t tagEnd = position + 10 + static_cast<uint64_t>(header.size);
    ReadContext context;
    TagFrames tag;
    if (context.Open(inspection.file, inspection.kind == FileKind::Aiff) != TAV_OK ||
        ReadTagFrames(context.get(), tag) != TAV_OK)
        return;
    if (header.extended_header && tag.major != 2) {
        // The extended header's size field leaves out its own four bytes.
        unsigned char size[4];
        const uint64_t extended = ReadAt(in, position + 10, size, 4) ? uint64_t(Be32(size)) + 4 : 0;
        if (extended > static_cast<uint64_t>(header.size)) {
            findings.push_back({"the extended header's size (" + std::to_string(extended) +
                                    ") does not fit in the tag", 0, "bad frame layout"});
            return;
        }
    }
    const bool truncated = tagEnd > limit;
    for (const TagFrame &frame : tag.frames) {
        const std::string where = "frame " + frame.id + " at tag offset " + std::to_string(frame.offset);
        if (!ValidFrameId(frame.id, tag.major)) {
            findings.push_back({"the bytes at tag offset " + std::to_string(frame.offset) +
                                    " are neither a frame header nor padding", 0, "bad frame layout"});
            return;
        }
        if (frame.overruns) {
            if (!truncated)
                findings.push_back({where + " claims " + std::to_string(frame.size) +
                                        " bytes, more than the tag has left", 0, "bad frame layout"});
            return;
        }
        if (!frame.readable) {
            findings.push_back({where + " is too short for the extra bytes its flags announce", 0,
                                "bad frame layout"});
            continue;
        }
        CheckFrameData(frame, findings);
    }
}

} // namespace

CheckOutcome CheckFile(const std::string &path) {
    CheckOutcome outcome;
    std::vector<Failure> &findings = outcome.findings;
    const FileKind kind = ClassifyFile(path);
    if (kind == FileKind::Directory) {
        findings.push_back({"is a directory, not an audio file", 0, "directory"});
        return outcome;
    }
    if (kind == FileKind::Unknown) {
        findings.push_back({"not an MP3 or AIFF file (no ID3 tag, no MPEG audio frames)", 0, "not audio"});
        return outcome;
    }
    Inspection inspection;
    Failure failure;
    const bool read = Inspect(path, true, inspection, failure);
    if (!read) findings.push_back(failure);
    if (kind == FileKind::Missing || kind == FileKind::Unreadable) return outcome;
    outcome.hasV2 = inspection.hasV2;
    outcome.hasV1 = inspection.hasV1;

    host::Status st {};
    std::ifstream in(host::Native(path), std::ios::binary);
    if (host::Stat(path, &st) != 0 || !in) return outcome;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    Home home{true, 0, fileSize, "the file"};
    if (kind == FileKind::Aiff) home = FindAiffHome(in, fileSize, findings);
    CheckVersion(in, home, findings);
    if (inspection.hasV2 && inspection.header.version != TAV_ID3_VNONE)
        CheckTagBytes(in, fileSize, home, inspection, findings);
    return outcome;
}

} // namespace tool
