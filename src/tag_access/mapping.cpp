// Property identifiers and their frames: the constant mapping table, the
// identifier classifiers, the translation of an identifier into the frame ID of
// the open tag's version, the encoding choice for writing, and the tag version.
#include "tag_access/mapping.h"

#include "tagmill/tagmill.h"

using namespace tagmill;

namespace tagmill {
namespace mapping {

namespace {
constexpr Kind S = Kind::String;
} // namespace

// Two pairs of identifiers share one frame (4357/4397 the track number, 288/289
// the part of a set); GEOB frames are told apart by their description.
const Row kTable[] = {
    {4615, FrameId("TT2"), FrameId("TIT2"), nullptr, nullptr, true, S, "title"},
    {4357, FrameId("TRK"), FrameId("TRCK"), nullptr, nullptr, false, S, "track number"},
    {4610, FrameId("TRC"), FrameId("TSRC"), nullptr, nullptr, true, S, "ISRC"},
    {4616, FrameId("TCO"), FrameId("TCON"), nullptr, nullptr, true, S, "genre"},
    {4617, FrameId("TCR"), FrameId("TCOP"), nullptr, nullptr, true, S, "copyright"},
    {4620, FrameId("TAL"), FrameId("TALB"), nullptr, nullptr, true, S, "album"},
    {4624, FrameId("TP1"), FrameId("TPE1"), nullptr, nullptr, true, S, "artist"},
    {4646, FrameId("WAR"), FrameId("WOAR"), nullptr, nullptr, false, S, "artist URL"},
    {4627, FrameId("TCM"), FrameId("TCOM"), nullptr, nullptr, true, S, "composer"},
    {4640, FrameId("PIC"), FrameId("APIC"), nullptr, nullptr, false, Kind::Picture, "picture"},
    {5891, FrameId("UFI"), FrameId("UFID"), nullptr, nullptr, false, Kind::MusicId, "music ID"},
    {5894, FrameId("GEO"), FrameId("GEOB"), L"USR_MTDID", "binary", false, Kind::Object, "object USR_MTDID"},
    {5895, FrameId("GEO"), FrameId("GEOB"), L"USR_SMFMF", "application/SMFMF", false, Kind::Object,
     "object USR_SMFMF"},
    {4717, FrameId("TXX"), FrameId("TXXX"), L"GN_ExtData", nullptr, false, Kind::UserDefinedString,
     "user text GN_ExtData"},
    {8450, FrameId("TEN"), FrameId("TENC"), nullptr, nullptr, true, S, "encoded by"},
    {8448, FrameId("GEO"), FrameId("GEOB"), L"SfMarkers", "", false, Kind::Object, "object SfMarkers"},
    {288, FrameId("TPA"), FrameId("TPOS"), nullptr, nullptr, false, S, "part of set"},
    {289, FrameId("TPA"), FrameId("TPOS"), nullptr, nullptr, false, S, "part of set (2)"},
    {528, FrameId("TP2"), FrameId("TPE2"), nullptr, nullptr, true, S, "band"},
    {4644, FrameId("GEO"), FrameId("GEOB"), L"ImageLyrics", "image/jpeg", false, Kind::Object,
     "object ImageLyrics"},
    {8451, FrameId("GEO"), FrameId("GEOB"), L"IcdRInfo", "", false, Kind::Object, "object IcdRInfo"},
    {5639, FrameId("TST"), FrameId("TSOT"), nullptr, nullptr, true, S, "title sort order"},
    {5644, FrameId("TSA"), FrameId("TSOA"), nullptr, nullptr, true, S, "album sort order"},
    {5648, FrameId("TSP"), FrameId("TSOP"), nullptr, nullptr, true, S, "performer sort order"},
    {593, FrameId("TS2"), FrameId("TSO2"), nullptr, nullptr, true, S, "band sort order"},
    {5651, FrameId("TSC"), FrameId("TSOC"), nullptr, nullptr, true, S, "composer sort order"},
    {4397, FrameId("TRK"), FrameId("TRCK"), nullptr, nullptr, false, S, "track number (2)"},
    {9233, FrameId("COM"), FrameId("COMM"), L"iTunSMPB", nullptr, true, Kind::UserDefinedString,
     "comment iTunSMPB"},
};
const size_t kTableSize = sizeof(kTable) / sizeof(kTable[0]);
static_assert(sizeof(kTable) / sizeof(kTable[0]) == 28, "the mapping table has 28 rows");

const Row *Find(long propertyId) {
    for (size_t i = 0; i < kTableSize; ++i)
        if (kTable[i].propertyId == propertyId) return &kTable[i];
    return nullptr;
}

bool IsObjectId(long id) { return id == 5894 || id == 5895 || id == 8448 || id == 4644 || id == 8451; }

// 8960..8966 have no row: they name user-defined strings that are looked up by
// description alone, so every frame lookup for them fails.
bool IsUserDefinedStringId(long id) { return id == 4717 || id == 9233 || (id >= 8960 && id <= 8966); }

} // namespace mapping
} // namespace tagmill

// The string identifiers: every text property of the table plus the two
// user-defined ones (4717, 9233), which the loader files under user-defined
// strings because it tests that set first.
bool CTagmill::CheckStringPropertyID(long propertyId) {
    switch (propertyId) {
    case 288: case 289: case 528: case 593: case 4357: case 4397: case 4610:
    case 4615: case 4616: case 4617: case 4620: case 4624: case 4627: case 4646:
    case 4717: case 5639: case 5644: case 5648: case 5651: case 8450: case 9233:
        return true;
    default:
        return false;
    }
}

bool CTagmill::CheckBinaryPropertyID(long propertyId) { return propertyId == mapping::kPictureId; }

long CTagmill::ToFrameId(long propertyId, unsigned int &frameId, std::wstring *description,
                         std::string *mimeType, bool *unicode) const {
    frameId = 0;
    const mapping::Row *row = mapping::Find(propertyId);
    if (row) {
        if (m_version == TAV_ID3_V22) frameId = row->frameV22;
        else if (m_version == TAV_ID3_V23 || m_version == TAV_ID3_V24) frameId = row->frameV23;
        else return E_FAIL;
        if (description) *description = row->description ? row->description : L"";
        if (mimeType) *mimeType = row->mimeType ? row->mimeType : "";
        if (unicode) *unicode = row->unicode;
    }
    return frameId == 0 ? E_PROPERTY_UNSUPPORTED : S_OK;
}

// The genre is written as single-byte text only when it is a numeric reference
// such as "(17)"; every other identifier follows its row's flag.
bool CTagmill::needsUnicode(long propertyId, const std::wstring &text) const {
    if (propertyId == 4616) return getNumericalGenre(text) == 148;
    const mapping::Row *row = mapping::Find(propertyId);
    return row ? row->unicode : false;
}

// A content without an ID3v2 tag reports version 2.3, the version in which a
// tag created later is written.
long CTagmill::GetV2version(long &version) {
    tav_id3_v2_header header{};
    header.version = TAV_ID3_VNONE;
    if (tav_id3_v2_get_header2(&m_context, &header) != TAV_OK) return E_FAIL;
    version = header.version;
    return S_OK;
}
