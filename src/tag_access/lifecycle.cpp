// The life of a CTagmill object: construction, copying, destruction, the open
// members (file, AIFF file, memory image), Close and the reset of every field.
// An object owns one engine context while a content is open.
#include "engine/internal.h"
#include "platform/paths.h"
#include "tagmill/tagmill.h"
#include "tagmill/batch.h"

using namespace tagmill;

namespace {

enum : long { kModeRead = 1, kModeReadWrite = 2, kModeWrite = 3 };
enum : int32_t { kEngineRead = 0, kEngineCreate = 1, kEngineReadWrite = 2 };
enum : int32_t { kMemoryCopy = 0, kMemoryNewTag = 1 };

constexpr unsigned char kNoGenre = 148;
constexpr double kNoDate = -657434.0;

// The tag that open mode 3 gives a new content: an ID3v2.3 header followed by
// 4086 bytes of padding, 4096 bytes in all.
tav_id3_v2_header NewEmptyTag() {
    tav_id3_v2_header header{};
    header.version = TAV_ID3_V23;
    header.size = 4086;
    return header;
}

long CreateResultToHresult(int32_t result) {
    switch (result) {
    case TAV_OK: return S_OK;
    case TAV_ERR_OPEN: return E_OPEN_FAILED;
    case TAV_ERR_NOT_FOUND: return E_FILE_NOT_FOUND;
    default: return E_FAIL;
    }
}

} // namespace

CTagmill::CTagmill() {}

// A copy never shares an engine context: two objects releasing one context
// would free it twice. A copy of an open object is therefore a closed, cleared
// object; a copy of a closed object copies every field.
CTagmill::CTagmill(const CTagmill &other) {
    if (other.m_opened)
        Clear();
    else
        copyClosedFields(other);
}

// The target's own content, if it has one, is released first (without a
// commit, as on destruction), so nothing leaks. Assigning an open object gives
// a closed, cleared object, as the copy constructor does.
CTagmill &CTagmill::operator=(const CTagmill &other) {
    if (this == &other) return *this;
    Clear();
    if (other.m_opened)
        m_updateV1 = true;
    else
        copyClosedFields(other);
    return *this;
}

// Destruction never commits: changes that were not committed are lost.
CTagmill::~CTagmill() { Clear(); }

// Copies the caches before touching any field, so that a failed allocation
// leaves this object as it was.
void CTagmill::copyClosedFields(const CTagmill &other) {
    StringCache strings = other.m_strings;
    auto pictures = other.m_pictures;
    auto musicIds = other.m_musicIds;
    auto geobs = other.m_geobs;
    auto userStrings = other.m_userStrings;
    std::string title = other.m_v1Title, artist = other.m_v1Artist, album = other.m_v1Album;
    std::wstring year = other.m_yearString;

    m_context = other.m_context;
    m_opened = other.m_opened;
    m_editing = other.m_editing;
    m_version = other.m_version;
    m_v1Title.swap(title);
    m_v1TitleSet = other.m_v1TitleSet;
    m_v1Artist.swap(artist);
    m_v1ArtistSet = other.m_v1ArtistSet;
    m_v1Album.swap(album);
    m_v1AlbumSet = other.m_v1AlbumSet;
    m_v1Genre = other.m_v1Genre;
    m_v1GenreSet = other.m_v1GenreSet;
    m_v1Track = other.m_v1Track;
    m_v1TrackSet = other.m_v1TrackSet;
    m_v1Year = other.m_v1Year;
    m_v1YearSet = other.m_v1YearSet;
    m_releaseDate = other.m_releaseDate;
    m_yearString.swap(year);
    m_strings.swap(strings);
    m_pictures.swap(pictures);
    m_musicIds.swap(musicIds);
    m_geobs.swap(geobs);
    m_userStrings.swap(userStrings);
    m_ownerIdFlag = other.m_ownerIdFlag;
    m_updateV1 = other.m_updateV1;
    m_durable = other.m_durable;
    m_batch = other.m_batch;
}

long CTagmill::Open(const std::wstring &path, long openMode) { return Open2(path, openMode, true); }

long CTagmill::Open2(const std::wstring &path, long openMode, bool updateV1) {
    return OpenCommon(path, openMode, updateV1, false);
}

// The ID3v1 tag belongs to the end of a plain file; an AIFF file keeps its tag
// in a chunk and never gets one.
long CTagmill::OpenForAiff(const std::wstring &path, long openMode) {
    return OpenCommon(path, openMode, false, true);
}

// Open mode 3 ("write") creates a missing file with the new empty tag and
// opens an existing file for reading and writing. An existing empty file is
// treated like a missing one: it is opened and receives the new empty tag in
// place (its name, links and permissions stay). Mode 3 never maintains the
// ID3v1 tag.
long CTagmill::OpenCommon(const std::wstring &path, long openMode, bool updateV1, bool aiff) {
    if (m_opened) return E_OPEN_FAILED;
    // A file whose change waits in the batch (under this name or another)
    // takes that change first, so that the edit starts from it.
    if (m_batch && m_batch->holds(path)) m_batch->Finish();
    m_updateV1 = updateV1;
    tav_id3_v2_header header{};
    int32_t engineMode = kEngineRead;
    bool fillEmptyFile = false;

    switch (openMode) {
    case kModeRead: engineMode = kEngineRead; break;
    case kModeReadWrite: engineMode = kEngineReadWrite; break;
    case kModeWrite: {
        int64_t size = 0;
        if (!tav_stat_size(path.c_str(), &size)) {
            engineMode = kEngineCreate;
            header = NewEmptyTag();
        } else {
            engineMode = kEngineReadWrite;
            if (size < 1) {
                fillEmptyFile = true;
                header = NewEmptyTag();
            }
        }
        m_updateV1 = false;
        break;
    }
    default: return E_INVALIDARG;
    }

    int32_t result = tav_id3_create_context2(path.c_str(), engineMode, &header, aiff ? 1 : 0, &m_context);
    if (result == TAV_OK && fillEmptyFile) {
        result = tav_id3_write_empty_tag(&m_context, &header);
        if (result != TAV_OK) tav_id3_destroy_context(&m_context);
    }
    long hr = CreateResultToHresult(result);
    if (Failed(hr)) return hr;

    m_opened = true;
    hr = GetV2version(m_version);
    if (Succeeded(hr)) hr = GetAllProperty(openMode);
    if (Failed(hr)) {
        Close();
        return hr;
    }
    return S_OK;
}

// Mode 1 works on the engine's own copy of the caller's bytes; mode 3 starts a
// new image holding only the new empty tag and ignores the caller's bytes.
long CTagmill::OpenFromMemory(unsigned char *data, unsigned int size, long openMode) {
    if (m_opened) return E_OPEN_FAILED;
    m_updateV1 = true;
    tav_id3_v2_header header{};
    int32_t result;

    switch (openMode) {
    case kModeRead:
        if (!data) return E_POINTER;
        result = tav_id3_create_context_from_memory(data, size, kMemoryCopy, nullptr, &m_context);
        break;
    case kModeWrite:
        header = NewEmptyTag();
        m_updateV1 = false;
        result = tav_id3_create_context_from_memory(data, size, kMemoryNewTag, &header, &m_context);
        break;
    default: return E_INVALIDARG;
    }
    if (result != TAV_OK) return E_FAIL;

    m_opened = true;
    long hr = GetV2version(m_version);
    if (Succeeded(hr)) hr = GetAllProperty(openMode);
    if (Failed(hr)) {
        Close();
        return hr;
    }
    return S_OK;
}

// Commits when an edit is pending; the object is cleared whatever the commit
// gives, so a failed commit loses the changes.
long CTagmill::Close() {
    long hr = S_OK;
    if (m_editing) {
        hr = Update();
        m_editing = false;
    }
    Clear();
    return hr;
}

// Releases the content, dropping an edit that was not committed, and resets
// every field to the closed state.
long CTagmill::Clear() {
    m_editing = false;
    if (m_opened) {
        tav_id3_destroy_context(&m_context);
        m_opened = false;
    }
    clearV1();
    m_releaseDate = kNoDate;
    m_yearString.clear();

    m_version = TAV_ID3_VNONE;

    m_pictures.clear();
    m_strings.clear();
    initOwnerId();
    m_musicIds.clear();
    m_geobs.clear();
    m_userStrings.clear();
    return S_OK;
}

void CTagmill::initOwnerId() { m_ownerIdFlag = false; }
