// Fuzz target: the frame payload records. Every parser gets the bytes as a
// payload; whatever parses is built back into a payload, which must parse
// again into the same record.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tag_access/text_codec.h"
#include "tagmill/task_memory.h"
#include "tagmill/tagmill.h"

namespace {

using tagmill::S_OK;
namespace text = tagmill::text;

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A payload handed out by a record, released on scope exit.
struct Block {
    unsigned char *data = nullptr;
    long size = 0;
    ~Block() { CoTaskMemFree(data); }
};

std::wstring NarrowedForm(const std::wstring &s) {
    const std::string narrow = text::ToLatin1(s);
    return text::FromLatin1(narrow.data(), narrow.size());
}

void Pictures(const unsigned char *payload, long size) {
    for (bool v22 : {false, true}) {
        CTagmill::CPicture picture;
        const long hr = v22 ? picture.SetPIC(payload, size) : picture.SetAPIC(payload, size);
        if (hr != S_OK) continue;
        if (picture.Size() < 0 || picture.Size() > size) Fail("picture larger than its payload");
        std::vector<unsigned char> copy(static_cast<size_t>(picture.Size()) + 1);
        unsigned char *out = copy.data();
        long capacity = static_cast<long>(copy.size());
        if (picture.GetData(&out, capacity) != S_OK || capacity != picture.Size()) Fail("picture copy");
        std::wstring mime;
        picture.GetMime(mime);
    }
}

void MusicId(const unsigned char *payload, long size) {
    CTagmill::CMusicId id;
    if (id.ParseFrameData(payload, size) != S_OK) return;
    Block frame;
    if (id.GetFrameData(&frame.data, frame.size) != S_OK) Fail("music ID does not build");
    if (frame.size != size) Fail("music ID payload size changed");
    CTagmill::CMusicId again;
    if (again.ParseFrameData(frame.data, frame.size) != S_OK) Fail("music ID payload does not parse again");
    std::string a, b;
    id.GetOwnerId(a);
    again.GetOwnerId(b);
    Block da, db;
    id.GetData(&da.data, da.size);
    again.GetData(&db.data, db.size);
    if (a != b || da.size != db.size || std::memcmp(da.data, db.data, static_cast<size_t>(da.size)) != 0)
        Fail("music ID round trip");
}

void Geob(const unsigned char *payload, long size) {
    CTagmill::CGeob object;
    if (object.ParseFrameData(payload, size) != S_OK) return;
    if (object.GetDataSize() > size) Fail("object data larger than its payload");
    Block frame;
    if (object.GetFrameData(&frame.data, frame.size) != S_OK) Fail("object does not build");
    CTagmill::CGeob again;
    if (again.ParseFrameData(frame.data, frame.size) != S_OK) Fail("object payload does not parse again");
    std::wstring d1, d2;
    std::string m1, m2;
    object.GetDescription(d1);
    again.GetDescription(d2);
    object.GetMimeType(m1);
    again.GetMimeType(m2);
    Block a, b;
    object.GetData(&a.data, a.size);
    again.GetData(&b.data, b.size);
    if (d2 != NarrowedForm(d1) || m1 != m2 || a.size != b.size ||
        (a.size > 0 && std::memcmp(a.data, b.data, static_cast<size_t>(a.size)) != 0))
        Fail("object round trip");
}

void UserString(const unsigned char *payload, long size, bool withLanguage) {
    CTagmill::CUserDefinedString string;
    if (string.ParseFrameData(payload, size, withLanguage) != S_OK) return;
    std::wstring description, value;
    string.GetDescription(description);
    string.GetData(value);
    CTagmill::CUserDefinedString copy(string);
    for (bool unicode : {true, false}) {
        Block frame;
        if (copy.GetFrameData(&frame.data, &frame.size, unicode) != S_OK) Fail("user string does not build");
        if (frame.size != copy.GetFrameDataSize(unicode)) Fail("user string size disagrees");
        CTagmill::CUserDefinedString again;
        if (again.ParseFrameData(frame.data, frame.size, false) != S_OK) Fail("user string does not parse again");
        std::wstring d, v;
        again.GetDescription(d);
        again.GetData(v);
        const bool same = unicode ? (d == description && v == value)
                                  : (d == NarrowedForm(description) && v == NarrowedForm(value));
        if (!same) Fail("user string round trip");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exactly sized heap copy, so reads past the payload are caught even
    // for the empty input.
    std::vector<unsigned char> bytes(data, data + size);
    const unsigned char *payload = size ? bytes.data() : reinterpret_cast<const unsigned char *>("");
    const long length = static_cast<long>(size);
    Pictures(payload, length);
    MusicId(payload, length);
    Geob(payload, length);
    UserString(payload, length, false);
    UserString(payload, length, true);
    return 0;
}
