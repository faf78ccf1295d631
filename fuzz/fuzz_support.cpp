// Readers, puts and the read-back check shared by the content fuzz targets.
#include "fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tagmill/task_memory.h"

namespace fuzzsupport {
namespace {

const long kStringIds[] = {288,  289,  528,  593,  4357, 4397, 4610, 4615, 4616, 4617, 4620,
                           4624, 4627, 4646, 4717, 5639, 5644, 5648, 5651, 8450, 9233};
const long kObjectIds[] = {5894, 5895, 8448, 4644, 8451};
const long kUserStringIds[] = {4717, 9233, 8960, 8961, 8962, 8963, 8964, 8965, 8966};
// Every row of the mapping table, plus identifiers without a row.
const long kLocatedIds[] = {4615, 4357, 4610, 4616, 4617, 4620, 4624, 4646, 4627, 4640,
                            5891, 5894, 5895, 4717, 8450, 8448, 288,  289,  528,  4644,
                            8451, 5639, 5644, 5648, 593,  5651, 4397, 9233, 5120, 8960};
// Identifiers of the wrong kind for a member: each must be refused cleanly.
const long kForeignIds[] = {5120, 4640, 5891, 0, -1};

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

template <class Record> void TouchTaskBlock(const Record &record) {
    unsigned char *block = nullptr;
    long size = 0;
    if (record.GetData(&block, size) >= 0) CoTaskMemFree(block);
}

void ReadPictures(CTagmill &tag, long id) {
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    if (tag.GetBinary(id, pictures) < 0) return;
    for (const auto &picture : pictures) {
        if (!picture) Fail("null picture");
        std::vector<unsigned char> copy(static_cast<size_t>(picture->Size()) + 1);
        unsigned char *out = copy.data();
        long size = static_cast<long>(copy.size());
        picture->GetData(&out, size);
        if (size > picture->Size()) Fail("picture copy longer than the picture");
        std::wstring mime;
        picture->GetMime(mime);
    }
}

void ReadMusicIds(CTagmill &tag) {
    std::vector<std::shared_ptr<CTagmill::CMusicId>> ids;
    if (tag.GetMusicId(ids) < 0) return;
    for (const auto &id : ids) {
        std::string owner;
        id->GetOwnerId(owner);
        TouchTaskBlock(*id);
        unsigned char *frame = nullptr;
        long size = 0;
        if (id->GetFrameData(&frame, size) >= 0) {
            if (frame && size != id->GetFrameDataSize()) Fail("music ID frame size");
            CoTaskMemFree(frame);
        }
    }
}

void ReadObjects(CTagmill &tag, long id) {
    std::vector<std::shared_ptr<CTagmill::CGeob>> objects;
    if (tag.GetGeob(id, objects) < 0) return;
    for (const auto &object : objects) {
        std::wstring description;
        std::string mime;
        object->GetDescription(description);
        object->GetMimeType(mime);
        TouchTaskBlock(*object);
        unsigned char *frame = nullptr;
        long size = 0;
        if (object->GetFrameData(&frame, size) >= 0) {
            if (frame && size != object->GetFrameDataSize()) Fail("object frame size");
            CoTaskMemFree(frame);
        }
    }
}

void ReadUserStrings(CTagmill &tag, long id) {
    std::vector<std::shared_ptr<CTagmill::CUserDefinedString>> strings;
    if (tag.GetUserDefinedString(id, strings) < 0) return;
    for (const auto &string : strings) {
        std::wstring value, description;
        string->GetData(value);
        string->GetDescription(description);
        for (bool unicode : {false, true}) {
            unsigned char *frame = nullptr;
            long size = 0;
            if (string->GetFrameData(&frame, &size, unicode) >= 0) {
                if (frame && size != string->GetFrameDataSize(unicode)) Fail("user string frame size");
                CoTaskMemFree(frame);
            }
        }
    }
}

// Little cursor over the value bytes; runs out into zeros.
struct Bytes {
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0; }
};

bool IsScalarValue(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    return u != 0 && u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF);
}

} // namespace

PutValues DeriveValues(const uint8_t *data, size_t size) {
    const size_t take = size < 48 ? size : 48;
    Bytes in{data + size - take, take};
    PutValues v;
    const size_t titleLength = in.next() % 8;
    v.titleIsClean = titleLength > 0;
    for (size_t i = 0; i < titleLength; ++i) {
        uint32_t c = uint32_t(in.next()) << 16 | uint32_t(in.next()) << 8 | in.next();
        if (c == 0 && i == 0) c = 'T';
        v.title.push_back(static_cast<wchar_t>(c));
        if (!IsScalarValue(static_cast<wchar_t>(c))) v.titleIsClean = false;
    }
    const size_t textLength = in.next() % 6;
    for (size_t i = 0; i < textLength; ++i) v.text.push_back(static_cast<wchar_t>(in.next() | in.next() << 8));
    const size_t yearLength = in.next() % 6;
    for (size_t i = 0; i < yearLength; ++i) v.year.push_back(static_cast<wchar_t>(in.next()));
    uint8_t raw[sizeof(double)];
    for (auto &b : raw) b = in.next();
    std::memcpy(&v.date, raw, sizeof raw);
    const size_t blobLength = in.next() % 80;
    for (size_t i = 0; i < blobLength; ++i) v.blob.push_back(in.next());
    return v;
}

void ReadEveryProperty(CTagmill &tag) {
    std::vector<std::wstring> values;
    for (long id : kStringIds) tag.GetString(id, values);
    for (long id : kForeignIds) tag.GetString(id, values);
    double date = 0;
    tag.GetDate(5120, date);
    tag.GetDate(4615, date);
    std::wstring year;
    tag.GetYearString(year);
    ReadPictures(tag, 4640);
    ReadPictures(tag, 4615);
    ReadMusicIds(tag);
    for (long id : kObjectIds) ReadObjects(tag, id);
    ReadObjects(tag, 4615);
    for (long id : kUserStringIds) ReadUserStrings(tag, id);
    ReadUserStrings(tag, 4615);
}

void ReadRawAccess(CTagmill &tag, size_t copyLimit) {
    for (long id : kLocatedIds) {
        long offset = -1, size = -1;
        tag.GetFrameOffset(id, offset, size);
    }
    unsigned long size = 0;
    if (tag.GetId3TagFrame(nullptr, &size) != tagmill::S_OK || size > copyLimit) return;
    unsigned char *buffer = static_cast<unsigned char *>(std::malloc(size ? size : 1));
    const unsigned long capacity = size;
    if (tag.GetId3TagFrame(&buffer, &size) == tagmill::S_OK && size > capacity) Fail("raw tag copy overran");
    std::free(buffer);
}

std::vector<unsigned char> CopyRawTag(CTagmill &tag, size_t copyLimit) {
    unsigned long size = 0;
    if (tag.GetId3TagFrame(nullptr, &size) != tagmill::S_OK || size == 0 || size > copyLimit) return {};
    unsigned char *buffer = static_cast<unsigned char *>(std::malloc(size));
    std::vector<unsigned char> copy;
    if (tag.GetId3TagFrame(&buffer, &size) == tagmill::S_OK) copy.assign(buffer, buffer + size);
    std::free(buffer);
    return copy;
}

bool PutEachKind(CTagmill &tag, const PutValues &v) {
    using Strings = std::vector<std::wstring>;
    const bool titlePut = tag.PutString(4615, Strings{v.title}) == tagmill::S_OK;
    tag.PutString(4624, Strings{v.text, L"second"});
    tag.PutString(4616, Strings{v.text.empty() ? L"(17)" : v.text});
    tag.PutString(4357, Strings{v.year});
    tag.PutString(4646, Strings{L"http://a.example/" + v.text, v.text});
    tag.PutString(289, Strings{L"1/2"});

    double date = v.date;
    tag.PutDate(5120, date);
    tag.PutYearString(v.year);

    auto picture = std::make_shared<CTagmill::CPicture>();
    picture->SetAll(v.blob.data(), static_cast<long>(v.blob.size()), v.text.empty() ? L"image/png" : v.text);
    tag.PutBinary(4640, {picture});

    auto id = std::make_shared<CTagmill::CMusicId>();
    std::vector<unsigned char> identifier(CTagmill::CMusicId::DEF_DATA_SIZE);
    for (size_t i = 0; i < identifier.size() && i < v.blob.size(); ++i) identifier[i] = v.blob[i];
    id->SetOwnerId(v.blob.empty() ? "owner" : std::string(v.blob.begin(), v.blob.end()));
    id->SetData(identifier.data(), static_cast<long>(identifier.size()));
    tag.PutMusicId({id});

    auto object = std::make_shared<CTagmill::CGeob>();
    object->SetDescription(L"USR_MTDID");
    object->SetMimeType(std::string(v.text.begin(), v.text.end()));
    object->SetData(v.blob.data(), static_cast<long>(v.blob.size()));
    tag.PutGeob(5894, {object});
    tag.PutGeob(8448, {});

    auto string = std::make_shared<CTagmill::CUserDefinedString>();
    string->SetDescription(L"GN_ExtData");
    string->SetData(v.title);
    tag.PutUserDefinedString(4717, {string});
    auto comment = std::make_shared<CTagmill::CUserDefinedString>();
    comment->SetDescription(L"iTunSMPB");
    comment->SetData(v.text);
    tag.PutUserDefinedString(9233, {comment});
    return titlePut;
}

namespace {

// A read-only title frame cannot be removed by a put: it stays ahead of the
// new frame and is what a reader sees first. The committed tag is never
// unsynchronised, so the flag byte sits right before the frame's data.
bool FirstTitleIsReadOnly(CTagmill &tag, const std::vector<unsigned char> &image) {
    const long version = tag.TagVersion();
    if (version != 1 && version != 2) return false;
    long offset = 0, length = 0;
    if (tag.GetFrameOffset(4615, offset, length) != tagmill::S_OK || offset < 2) return false;
    const size_t flags = static_cast<size_t>(offset) - 2;
    return flags < image.size() && (image[flags] & (version == 1 ? 0x20 : 0x10)) != 0;
}

} // namespace

void CheckTitleReadsBack(const std::vector<unsigned char> &image, const std::wstring &title) {
    if (image.empty()) Fail("committed content has no tag");
    std::vector<unsigned char> copy(image);
    CTagmill reread;
    if (reread.OpenFromMemory(copy.data(), static_cast<unsigned int>(copy.size()), 1) != tagmill::S_OK)
        Fail("committed tag does not open");
    std::vector<std::wstring> values;
    const bool same = reread.GetString(4615, values) == tagmill::S_OK && !values.empty() && values[0] == title;
    if (!same && !FirstTitleIsReadOnly(reread, image)) Fail("committed title does not read back");
    reread.Close();
}

namespace {

std::string g_scratch;

// Empties and removes the scratch directory when the fuzzer exits normally.
void RemoveScratch() {
    if (DIR *dir = opendir(g_scratch.c_str())) {
        while (dirent *entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                unlink((g_scratch + "/" + entry->d_name).c_str());
        closedir(dir);
    }
    rmdir(g_scratch.c_str());
}

} // namespace

const std::string &ScratchDirectory() {
    if (g_scratch.empty()) {
        const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        g_scratch = std::string(base) + "/tagmill-fuzz-" + std::to_string(getpid());
        mkdir(g_scratch.c_str(), 0700);
        setenv("TMPDIR", g_scratch.c_str(), 1);
        std::atexit(RemoveScratch);
    }
    return g_scratch;
}

} // namespace fuzzsupport
